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
        <source>&amp;View</source>
        <translation>视图(&amp;V)</translation>
    </message>
    <message>
        <source>Cameras on Page</source>
        <translation>每页摄像头数</translation>
    </message>
    <message>
        <source>Camera Wall</source>
        <translation>摄像头墙</translation>
    </message>
    <message>
        <source>Next Page</source>
        <translation>下一页</translation>
    </message>
    <message>
        <source>Previous Page</source>
        <translation>上一页</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <source>Listen</source>
        <translation>收听</translation>
    </message>
    <message>
        <source>&amp;Save Picture</source>
        <translation>保存图片(&amp;S)</translation>
    </message>
    <message>
        <source>Live Video</source>
        <translation>实时视频</translation>
    </message>
</context>
<context>
    <name>ZVServerSettings</name>
    <message>
        <source>Servers</source>
        <translation>服务器</translation>
    </message>
    <message>
        <source>Add a server</source>
        <translation>添加服务器</translation>
    </message>
    <message>
        <source>Remove the selected server</source>
        <translation>删除所选服务器</translation>
    </message>
    <message>
        <source>Keep passwords in the system keyring</source>
        <translation>将密码保存在系统密钥环中</translation>
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
        <source>The data format is not supported by this file type.</source>
        <translation>此文件类型不支持该数据格式。</translation>
    </message>
    <message>
        <source>The file is malformed, or otherwise not a valid instance of an audio file of its type.</source>
        <translation>文件格式错误，或不是该类型的有效音频文件。</translation>
    </message>
    <message>
        <source>This microphone has no usable sound address.</source>
        <translation>此麦克风没有可用的声音地址。</translation>
    </message>
    <message>
        <source>Cannot create the temporary sound file.</source>
        <translation>无法创建临时声音文件。</translation>
    </message>
    <message>
        <source>Cannot write the temporary sound file.</source>
        <translation>无法写入临时声音文件。</translation>
    </message>
    <message>
        <source>Cannot communicate with the server.</source>
        <translation>无法与服务器通信。</translation>
    </message>
    <message>
        <source>No sound output is available.</source>
        <translation>没有可用的声音输出设备。</translation>
    </message>
    <message>
        <source>The sound output failed.</source>
        <translation>声音输出失败。</translation>
    </message>
    <message>
        <source>The sound stream has ended.</source>
        <translation>声音流已结束。</translation>
    </message>
    <message>
        <source>Playing</source>
        <translation>正在播放</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>已暂停</translation>
    </message>
    <message>
        <source>Sound stopped.</source>
        <translation>声音已停止。</translation>
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
    <message>
        <source>The server passwords are kept in the system keyring, which is locked or not available. The servers are asked without their passwords.</source>
        <translation>服务器密码保存在系统密钥环中，但密钥环已锁定或不可用。将不使用密码访问服务器。</translation>
    </message>
    <message>
        <source>The system keyring did not take the new password. It is kept in the settings file until the keyring can take it.</source>
        <translation>系统密钥环未接受新密码。在密钥环能够接受之前，密码保存在设置文件中。</translation>
    </message>
    <message>
        <source>Asking the system keyring...</source>
        <translation>正在访问系统密钥环...</translation>
    </message>
    <message>
        <source>The system keyring is locked. Unlock it, then open the server list again.</source>
        <translation>系统密钥环已锁定。请解锁后重新打开服务器列表。</translation>
    </message>
    <message>
        <source>No system keyring is available: no Secret Service answers on the session bus.</source>
        <translation>没有可用的系统密钥环：会话总线上没有 Secret Service 响应。</translation>
    </message>
    <message>
        <source>Moving the passwords...</source>
        <translation>正在移动密码...</translation>
    </message>
    <message>
        <source>The system keyring did not take the passwords.</source>
        <translation>系统密钥环未能保存密码。</translation>
    </message>
    <message>
        <source>Saved to %1</source>
        <translation>已保存到 %1</translation>
    </message>
    <message>
        <source>Cannot save the picture: %1</source>
        <translation>无法保存图片：%1</translation>
    </message>
    <message>
        <source>no pictures folder</source>
        <translation>没有图片文件夹</translation>
    </message>
    <message>
        <source>Live video unavailable: %1. Showing pictures.</source>
        <translation>实时视频不可用：%1。正在显示图片。</translation>
    </message>
    <message>
        <source>its address is not the server&apos;s</source>
        <translation>其地址不属于该服务器</translation>
    </message>
    <message>
        <source>no connection</source>
        <translation>无法连接</translation>
    </message>
    <message>
        <source>the server sent no video</source>
        <translation>服务器未发送视频</translation>
    </message>
    <message>
        <source>a kind of video this viewer cannot play</source>
        <translation>无法播放此类视频</translation>
    </message>
    <message>
        <source>the video&apos;s pictures are too large</source>
        <translation>视频画面过大</translation>
    </message>
    <message>
        <source>no frame for 3 s</source>
        <translation>3 秒内没有画面</translation>
    </message>
    <message>
        <source>the server ended the video</source>
        <translation>服务器结束了视频</translation>
    </message>
    <message>
        <source>The layouts file could not be read. It was kept as layouts.json.corrupt and the layouts start empty.</source>
        <translation>无法读取布局文件。它已另存为 layouts.json.corrupt，布局列表从空白开始。</translation>
    </message>
    <message>
        <source>Some entries of the layouts file could not be used and were left out or corrected. The file as it was is kept as layouts.json.corrupt.</source>
        <translation>布局文件中的部分条目无法使用，已被略去或修正。原文件已另存为 layouts.json.corrupt。</translation>
    </message>
    <message>
        <source>The layouts could not be saved. Zorvan keeps your changes and keeps trying until they are saved.</source>
        <translation>无法保存布局。Zorvan 会保留您的更改，并不断重试，直到保存成功。</translation>
    </message>
    <message>
        <source>The layouts file holds more windows than Zorvan opens at a start: the first 16 were opened, and the others are kept in the file.</source>
        <translation>布局文件中的窗口多于 Zorvan 启动时打开的数量：已打开前 16 个，其余的仍保留在文件中。</translation>
    </message>
    <message>
        <source>unknown option &apos;%1&apos;</source>
        <translation>未知选项“%1”</translation>
    </message>
    <message>
        <source>unexpected argument &apos;%1&apos;</source>
        <translation>多余的参数“%1”</translation>
    </message>
    <message>
        <source>option &apos;%1&apos; takes no value</source>
        <translation>选项“%1”不接受值</translation>
    </message>
    <message>
        <source>option &apos;%1&apos; needs a value</source>
        <translation>选项“%1”需要一个值</translation>
    </message>
    <message>
        <source>only one of --layout, --tour and --server may be given</source>
        <translation>--layout、--tour 和 --server 只能指定其中一个</translation>
    </message>
    <message>
        <source>option &apos;%1&apos; is given twice</source>
        <translation>选项“%1”指定了两次</translation>
    </message>
    <message>
        <source>--camera needs --server</source>
        <translation>--camera 需要与 --server 一起使用</translation>
    </message>
    <message>
        <source>Usage: zorvan [--layout NAME | --tour NAME | --server NAME [--camera NAME]] [--screen N|NAME] [--full-screen] [--new-window]</source>
        <translation>用法：zorvan [--layout 名称 | --tour 名称 | --server 名称 [--camera 名称]] [--screen N|名称] [--full-screen] [--new-window]</translation>
    </message>
    <message>
        <source>  --layout NAME     show the saved layout NAME</source>
        <translation>  --layout 名称     显示已保存的布局“名称”</translation>
    </message>
    <message>
        <source>  --tour NAME       run the tour NAME</source>
        <translation>  --tour 名称       运行轮巡“名称”</translation>
    </message>
    <message>
        <source>  --server NAME     show the cameras of the server NAME</source>
        <translation>  --server 名称     显示服务器“名称”的摄像头</translation>
    </message>
    <message>
        <source>  --camera NAME     with --server: show the camera NAME</source>
        <translation>  --camera 名称     与 --server 一起：显示摄像头“名称”</translation>
    </message>
    <message>
        <source>  --screen N|NAME   open on screen N (from 0) or the screen NAME</source>
        <translation>  --screen N|名称   在第 N 个屏幕（从 0 起）或名为“名称”的屏幕上打开</translation>
    </message>
    <message>
        <source>  --full-screen     start in full screen</source>
        <translation>  --full-screen     以全屏方式启动</translation>
    </message>
    <message>
        <source>  --new-window      show it in a new window of the running viewer</source>
        <translation>  --new-window      在正在运行的查看器的新窗口中显示</translation>
    </message>
    <message>
        <source>  -h, --help        show this help and exit</source>
        <translation>  -h, --help        显示此帮助并退出</translation>
    </message>
    <message>
        <source>  -v, --version     show the version and exit</source>
        <translation>  -v, --version     显示版本并退出</translation>
    </message>
    <message>
        <source>Try &apos;zorvan --help&apos; for more information.</source>
        <translation>更多信息请运行“zorvan --help”。</translation>
    </message>
    <message>
        <source>Showing live pictures in full screen</source>
        <translation>正在全屏显示实时画面</translation>
    </message>
    <message>
        <source>&amp;Layouts</source>
        <translation>布局(&amp;L)</translation>
    </message>
    <message>
        <source>Save Wall as Layout…</source>
        <translation>将摄像头墙另存为布局…</translation>
    </message>
    <message>
        <source>Edit Layouts…</source>
        <translation>编辑布局…</translation>
    </message>
    <message>
        <source>Clear Cell</source>
        <translation>清空单元格</translation>
    </message>
    <message>
        <source>Lock Layouts</source>
        <translation>锁定布局</translation>
    </message>
    <message>
        <source>The layout is locked. Layouts ▸ Lock Layouts unlocks it.</source>
        <translation>布局已锁定。要解锁，请选择 布局 ▸ 锁定布局。</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>重做</translation>
    </message>
    <message>
        <source>Activity</source>
        <translation>活动</translation>
    </message>
    <message>
        <source>activity %1 % of %2 %</source>
        <translation>活动 %1 %，阈值 %2 %</translation>
    </message>
    <message>
        <source>Preferences…</source>
        <translation>首选项…</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>首选项</translation>
    </message>
    <message>
        <source>Live video in at most this many cells at once:</source>
        <translation>同时播放实时视频的单元格数上限：</translation>
    </message>
    <message>
        <source>The largest cells play first; the others show pictures. Each video takes a part of the processor.</source>
        <translation>最大的单元格优先播放视频，其余显示图片。每路视频都会占用一部分处理器。</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>视图(&amp;V)</translation>
    </message>
    <message>
        <source>Cameras Panel</source>
        <translation>摄像头面板</translation>
    </message>
    <message>
        <source>Server Walls</source>
        <translation>服务器摄像头墙</translation>
    </message>
    <message>
        <source>Tours</source>
        <translation>轮巡</translation>
    </message>
    <message>
        <source>Start Tour</source>
        <translation>开始轮巡</translation>
    </message>
    <message>
        <source>Stop Tour</source>
        <translation>停止轮巡</translation>
    </message>
    <message>
        <source>Pause Tour</source>
        <translation>暂停轮巡</translation>
    </message>
    <message>
        <source>Resume Tour</source>
        <translation>继续轮巡</translation>
    </message>
    <message>
        <source>Next Step</source>
        <translation>下一步</translation>
    </message>
    <message>
        <source>Previous Step</source>
        <translation>上一步</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <source>&amp;Window</source>
        <translation>窗口(&amp;W)</translation>
    </message>
    <message>
        <source>New Window</source>
        <translation>新建窗口</translation>
    </message>
    <message>
        <source>Close Window</source>
        <translation>关闭窗口</translation>
    </message>
    <message>
        <source>Save Wall as Layout</source>
        <translation>将摄像头墙另存为布局</translation>
    </message>
    <message>
        <source>Name of the layout:</source>
        <translation>布局名称：</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>布局</translation>
    </message>
    <message>
        <source>No layout named &quot;%1&quot;.</source>
        <translation>没有名为“%1”的布局。</translation>
    </message>
    <message>
        <source>No tour named &quot;%1&quot;.</source>
        <translation>没有名为“%1”的轮巡。</translation>
    </message>
    <message>
        <source>No server named &quot;%1&quot;.</source>
        <translation>没有名为“%1”的服务器。</translation>
    </message>
    <message>
        <source>No camera named &quot;%1&quot; on %2.</source>
        <translation>%2 上没有名为“%1”的摄像头。</translation>
    </message>
    <message>
        <source>No screen &quot;%1&quot;.</source>
        <translation>没有名为“%1”的屏幕。</translation>
    </message>
    <message>
        <source>Layouts: %1.</source>
        <translation>布局：%1。</translation>
    </message>
    <message>
        <source>Tours: %1.</source>
        <translation>轮巡：%1。</translation>
    </message>
    <message>
        <source>Servers: %1.</source>
        <translation>服务器：%1。</translation>
    </message>
    <message>
        <source>Cameras: %1.</source>
        <translation>摄像头：%1。</translation>
    </message>
    <message>
        <source>Server removed</source>
        <translation>服务器已删除</translation>
    </message>
    <message>
        <source>Camera not found: %1</source>
        <translation>未找到摄像头：%1</translation>
    </message>
    <message>
        <source>Loading…</source>
        <translation>正在加载…</translation>
    </message>
    <message>
        <source>Layout “%1” was deleted</source>
        <translation>布局“%1”已删除</translation>
    </message>
    <message>
        <source>Tour “%1” was deleted</source>
        <translation>轮巡“%1”已删除</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>摄像头</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>摄像头</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>1 camera</source>
        <translation>1 个摄像头</translation>
    </message>
    <message numerus="yes">
        <source>%n cameras</source>
        <translation>
            <numerusform>%n 个摄像头</numerusform>
        </translation>
    </message>
    <message>
        <source>Find Camera</source>
        <translation>查找摄像头</translation>
    </message>
    <message>
        <source>Find a camera</source>
        <translation>查找摄像头</translation>
    </message>
    <message>
        <source>Live</source>
        <translation>实时</translation>
    </message>
    <message>
        <source>In the shown layout</source>
        <translation>在当前布局中</translation>
    </message>
    <message>
        <source>%1 of 1 camera live</source>
        <translation>1 个摄像头中 %1 个实时</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n cameras live</source>
        <translation>
            <numerusform>%n 个摄像头中 %1 个实时</numerusform>
        </translation>
    </message>
    <message>
        <source>Edit Layouts</source>
        <translation>编辑布局</translation>
    </message>
    <message>
        <source>Layouts</source>
        <translation>布局</translation>
    </message>
    <message>
        <source>Rows:</source>
        <translation>行数：</translation>
    </message>
    <message>
        <source>Columns:</source>
        <translation>列数：</translation>
    </message>
    <message>
        <source>Template:</source>
        <translation>模板：</translation>
    </message>
    <message>
        <source>Cells:</source>
        <translation>单元格：</translation>
    </message>
    <message>
        <source>Join Cells</source>
        <translation>合并单元格</translation>
    </message>
    <message>
        <source>Split Cell</source>
        <translation>拆分单元格</translation>
    </message>
    <message>
        <source>Tour</source>
        <translation>轮巡</translation>
    </message>
    <message>
        <source> s</source>
        <translation> 秒</translation>
    </message>
    <message>
        <source>Pause after input:</source>
        <translation>操作后暂停：</translation>
    </message>
    <message>
        <source>Steps:</source>
        <translation>步骤：</translation>
    </message>
    <message>
        <source>Dwell:</source>
        <translation>停留时间：</translation>
    </message>
    <message>
        <source>Add Layout Step</source>
        <translation>添加布局步骤</translation>
    </message>
    <message>
        <source>Add Wall Step</source>
        <translation>添加摄像头墙步骤</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message>
        <source>Layout: %1 — %2 s</source>
        <translation>布局：%1 — %2 秒</translation>
    </message>
    <message>
        <source>Wall: %1, page %2 — %3 s</source>
        <translation>摄像头墙：%1，第 %2 页 — %3 秒</translation>
    </message>
    <message>
        <source>unknown server</source>
        <translation>未知服务器</translation>
    </message>
    <message>
        <source>There are no layouts yet: make one on the Layouts tab.</source>
        <translation>还没有布局：请先在“布局”选项卡中创建一个。</translation>
    </message>
    <message>
        <source>Layout:</source>
        <translation>布局：</translation>
    </message>
    <message>
        <source>There are no servers yet.</source>
        <translation>还没有服务器。</translation>
    </message>
    <message>
        <source>Page:</source>
        <translation>页：</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新建</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>重命名</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>创建副本</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>上移</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>下移</translation>
    </message>
    <message>
        <source>%1 copy</source>
        <translation>%1 - 副本</translation>
    </message>
    <message>
        <source>A name cannot be empty.</source>
        <translation>名称不能为空。</translation>
    </message>
    <message>
        <source>The name “%1” is taken.</source>
        <translation>名称“%1”已被使用。</translation>
    </message>
    <message>
        <source>%1 — Camera Wall</source>
        <translation>%1 — 摄像头墙</translation>
    </message>
    <message>
        <source>Step %1 of %2</source>
        <translation>第 %1 步，共 %2 步</translation>
    </message>
    <message>
        <source>%1 s left</source>
        <translation>剩余 %1 秒</translation>
    </message>
    <message>
        <source>Paused — resumes in %1 s</source>
        <translation>已暂停 — %1 秒后继续</translation>
    </message>
    <message>
        <source>%1 — %2 (%3/%4)</source>
        <translation>%1 — %2（%3/%4）</translation>
    </message>
    <message>
        <source>%1 — Zorvan</source>
        <translation>%1 — Zorvan</translation>
    </message>
    <message>
        <source>Activity List</source>
        <translation>活动列表</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>服务器</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>持续时间</translation>
    </message>
    <message>
        <source>ongoing</source>
        <translation>进行中</translation>
    </message>
    <message>
        <source>Stay on a step while one of its cameras is active</source>
        <translation>步骤中有摄像机活动时停留在该步骤</translation>
    </message>
    <message>
        <source>Activity Settings…</source>
        <translation>活动设置…</translation>
    </message>
    <message>
        <source>Activity Settings: %1</source>
        <translation>活动设置：%1</translation>
    </message>
    <message>
        <source>Sensitivity:</source>
        <translation>灵敏度：</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>低</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>普通</translation>
    </message>
    <message>
        <source>High</source>
        <translation>高</translation>
    </message>
    <message>
        <source>Remove Zone</source>
        <translation>删除区域</translation>
    </message>
    <message>
        <source>Clear Zones</source>
        <translation>清除区域</translation>
    </message>
    <message>
        <source>Notify when active behind other windows</source>
        <translation>窗口不在前台时有活动则通知</translation>
    </message>
    <message>
        <source>Activity: %1</source>
        <translation>活动：%1</translation>
    </message>
    <message>
        <source>Show Camera</source>
        <translation>显示摄像机</translation>
    </message>
    <message>
        <source>No picture yet</source>
        <translation>尚无画面</translation>
    </message>
    <message>
        <source>Every zone is drawn (at most %1). Remove one to draw another.</source>
        <translation>区域已满（最多 %1 个）。删除一个才能再画。</translation>
    </message>
    <message>
        <source>Drag on the picture to draw a zone where changes never count; click a zone to select it.</source>
        <translation>在画面上拖动以画出不计变化的区域；单击区域可选中它。</translation>
    </message>
    <message>
        <source>Active Cameras</source>
        <translation>活动摄像机</translation>
    </message>
    <message>
        <source>The cells show the watched cameras that moved last, and the layout&apos;s own cameras while nothing moves.</source>
        <translation>单元格显示最近有动静的受监视摄像机；无动静时显示布局自己的摄像机。</translation>
    </message>
    <message>
        <source>Every camera of %1</source>
        <translation>%1 的所有摄像机</translation>
    </message>
    <message>
        <source>Cameras to watch:</source>
        <translation>要监视的摄像机：</translation>
    </message>
    <message>
        <source>Hold after activity:</source>
        <translation>活动后保持：</translation>
    </message>
    <message>
        <source>Rewind</source>
        <translation>回看</translation>
    </message>
    <message>
        <source>Timeline</source>
        <translation>时间轴</translation>
    </message>
    <message>
        <source>Back 10 Seconds</source>
        <translation>后退 10 秒</translation>
    </message>
    <message>
        <source>Forward 10 Seconds</source>
        <translation>前进 10 秒</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>播放</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Previous Picture</source>
        <translation>上一幅画面</translation>
    </message>
    <message>
        <source>Next Picture</source>
        <translation>下一幅画面</translation>
    </message>
    <message>
        <source>Slower</source>
        <translation>减速</translation>
    </message>
    <message>
        <source>Faster</source>
        <translation>加速</translation>
    </message>
    <message>
        <source>Mark Clip Start</source>
        <translation>标记片段开始</translation>
    </message>
    <message>
        <source>Mark Clip End</source>
        <translation>标记片段结束</translation>
    </message>
    <message>
        <source>Export Clip…</source>
        <translation>导出片段…</translation>
    </message>
    <message>
        <source>Export Clips of All Cells…</source>
        <translation>导出所有格子的片段…</translation>
    </message>
    <message>
        <source>Export Clip</source>
        <translation>导出片段</translation>
    </message>
    <message>
        <source>Exporting Clip…</source>
        <translation>正在导出片段…</translation>
    </message>
    <message>
        <source>Writing the clips…</source>
        <translation>正在写入片段…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>▶ %1x</source>
        <translation>▶ %1×</translation>
    </message>
    <message>
        <source>%1, %2 ago</source>
        <translation>%1，%2 之前</translation>
    </message>
    <message>
        <source>Nothing kept</source>
        <translation>没有保留内容</translation>
    </message>
    <message>
        <source>Keep the last minutes of every shown camera</source>
        <translation>保留每个显示的摄像头最近几分钟的内容</translation>
    </message>
    <message>
        <source>None, memory only</source>
        <translation>无，仅内存</translation>
    </message>
    <message>
        <source>Keep them when Zorvan quits</source>
        <translation>退出 Zorvan 时保留</translation>
    </message>
    <message>
        <source>Minutes kept:</source>
        <translation>保留分钟数：</translation>
    </message>
    <message>
        <source>In memory at most:</source>
        <translation>内存最多：</translation>
    </message>
    <message>
        <source>Beyond that, on disk at most:</source>
        <translation>超出部分，磁盘最多：</translation>
    </message>
    <message>
        <source> min</source>
        <translation> 分钟</translation>
    </message>
    <message>
        <source> MiB</source>
        <translation> 兆字节</translation>
    </message>
    <message>
        <source> GiB</source>
        <translation> 吉字节</translation>
    </message>
    <message>
        <source>Cannot write in %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>Cannot write the clip: %1</source>
        <translation>无法写入片段：%1</translation>
    </message>
    <message>
        <source>Cannot save %1: %2</source>
        <translation>无法保存 %1：%2</translation>
    </message>
    <message>
        <source>There are too many clips named %1 in %2.</source>
        <translation>%2 中名为 %1 的片段太多。</translation>
    </message>
    <message>
        <source>The video's format is not known.</source>
        <translation>视频格式未知。</translation>
    </message>
    <message>
        <source>The clip could not be finished.</source>
        <translation>无法完成片段。</translation>
    </message>
    <message>
        <source>Out of memory.</source>
        <translation>内存不足。</translation>
    </message>
    <message>
        <source>This camera's video cannot be saved as a clip.</source>
        <translation>此摄像头的视频无法保存为片段。</translation>
    </message>
    <message>
        <source>The clip could not be written.</source>
        <translation>无法写入片段。</translation>
    </message>
    <message>
        <source>The video's format was not kept.</source>
        <translation>未保留视频格式。</translation>
    </message>
    <message>
        <source>Part of what was kept could not be read back.</source>
        <translation>部分保留的内容无法读回。</translation>
    </message>
    <message>
        <source>Nothing was kept of %1 at that time.</source>
        <translation>该时间段没有保留 %1 的任何内容。</translation>
    </message>
    <message>
        <source>The clip of %1 ends early: the camera changed its picture there.</source>
        <translation>%1 的片段提前结束：摄像头在该处更改了画面。</translation>
    </message>
    <message>
        <source>The clip of %1 was not saved: %2</source>
        <translation>%1 的片段未保存：%2</translation>
    </message>
    <message>
        <source>The clip was saved as %1.</source>
        <translation>片段已保存为 %1。</translation>
    </message>
    <message>
        <source>%1 clips were saved in %2.</source>
        <translation>已在 %2 中保存 %1 个片段。</translation>
    </message>
</context>
</TS>
