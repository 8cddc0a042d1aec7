<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>ZVMainWindow</name>
    <message>
        <source>&amp;Sound</source>
        <translation>声音(&amp;S)</translation>
    </message>
    <message>
        <source>S&amp;ervers</source>
        <translation>服务器(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Cameras</source>
        <translation>摄像头(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Reload Server</source>
        <translation>重新加载服务器(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Edit Server List…</source>
        <translation>编辑服务器列表(&amp;E)…</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <source>Listen</source>
        <translation>收听</translation>
    </message>
</context>
<context>
    <name>Zorvan</name>
    <message>
        <source>Connection error</source>
        <translation>连接错误</translation>
    </message>
    <message>
        <source>Server is not available</source>
        <translation>服务器不可用</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>服务器：</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>地址：</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密码：</translation>
    </message>
    <message>
        <source>fps:</source>
        <translation>帧率：</translation>
    </message>
    <message>
        <source>Connecting to stream.</source>
        <translation>正在连接音频流。</translation>
    </message>
    <message>
        <source>Connecting to stream</source>
        <translation>正在连接音频流</translation>
    </message>
    <message>
        <source>Buffering...</source>
        <translation>正在缓冲...</translation>
    </message>
    <message>
        <source>Closed by server.</source>
        <translation>服务器已关闭连接。</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>音量</translation>
    </message>
    <message>
        <source>No picture for %1 s</source>
        <translation>已 %1 秒没有画面</translation>
    </message>
    <message>
        <source>%1 pictures/s</source>
        <translation>%1 帧/秒</translation>
    </message>
    <message>
        <source>%1 pictures/s, round trip %2 ms</source>
        <translation>%1 帧/秒，往返 %2 毫秒</translation>
    </message>
    <message>
        <source>Show Picture Rate</source>
        <translation>显示帧率</translation>
    </message>
</context>
</TS>
