<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Zorvan</name>
    <message>
        <source>Server:</source>
        <translation>服务器：</translation>
    </message>
</context>
</TS>
