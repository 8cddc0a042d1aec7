<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>Zorvan</name>
    <message>
        <source>Server:</source>
        <translation>Сервер:</translation>
    </message>
</context>
<context>
    <name>Other</name>
    <message>
        <source>Port:</source>
        <translation>Порт:</translation>
    </message>
</context>
</TS>
