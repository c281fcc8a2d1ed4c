<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>BatchNotice</name>
    <message numerus="yes">
        <source>已保存%n首</source>
        <translation>
            <numerusform>%n song saved</numerusform>
            <numerusform>%n songs saved</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>失败%n首</source>
        <translation>
            <numerusform>%n failed</numerusform>
            <numerusform>%n failed</numerusform>
        </translation>
    </message>
    <message>
        <source>%1，%2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>下载结束</source>
        <translation>Downloads finished</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open Folder</translation>
    </message>
</context>
<context>
    <name>BatchRun</name>
    <message>
        <source>窗口正在以同样的设置运行（进程 %1），请先关闭它</source>
        <translation>The window is running with the same settings (process %1); close it first</translation>
    </message>
    <message>
        <source>无法创建保存目录：%1</source>
        <translation>Cannot create the save folder: %1</translation>
    </message>
    <message>
        <source>无法打开页面：%1</source>
        <translation>Cannot open the page: %1</translation>
    </message>
    <message>
        <source>没有登录：请先在窗口中登录一次</source>
        <translation>Not signed in: sign in once in the window</translation>
    </message>
    <message>
        <source>页面中没有歌曲：%1</source>
        <translation>The page lists no songs: %1</translation>
    </message>
    <message>
        <source>%1/%2首  %3KB  %4KB/s</source>
        <translation>%1/%2 songs  %3 KB  %4 KB/s</translation>
    </message>
    <message>
        <source>代理设置无法使用，本次不经代理连接：%1</source>
        <translation>The proxy setting cannot be used; this run connects without a proxy: %1</translation>
    </message>
</context>
<context>
    <name>Charts</name>
    <message>
        <source>歌曲TOP500</source>
        <translation>Top 500 Songs</translation>
    </message>
    <message>
        <source>新歌TOP100</source>
        <translation>Top 100 New Songs</translation>
    </message>
    <message>
        <source>华语金曲榜</source>
        <translation>Chinese Hits</translation>
    </message>
    <message>
        <source>欧美金曲榜</source>
        <translation>Western Hits</translation>
    </message>
    <message>
        <source>影视金曲榜</source>
        <translation>Film and TV Hits</translation>
    </message>
    <message>
        <source>情歌对唱榜</source>
        <translation>Love Duets</translation>
    </message>
    <message>
        <source>网络歌曲榜</source>
        <translation>Internet Songs</translation>
    </message>
    <message>
        <source>经典老歌榜</source>
        <translation>Golden Oldies</translation>
    </message>
    <message>
        <source>摇滚榜</source>
        <translation>Rock</translation>
    </message>
    <message>
        <source>爵士榜</source>
        <translation>Jazz</translation>
    </message>
    <message>
        <source>民谣榜</source>
        <translation>Folk</translation>
    </message>
    <message>
        <source>好声音金曲榜</source>
        <translation>Voice Hits</translation>
    </message>
    <message>
        <source>KTV热歌榜</source>
        <translation>KTV Hits</translation>
    </message>
    <message>
        <source>Billboard</source>
        <translation>Billboard</translation>
    </message>
    <message>
        <source>UKChart</source>
        <translation>UKChart</translation>
    </message>
    <message>
        <source>Hito中文榜</source>
        <translation>Hito Chinese Chart</translation>
    </message>
    <message>
        <source>叱咤歌曲榜</source>
        <translation>Chik Chak Chart</translation>
    </message>
</context>
<context>
    <name>DownloadPrompt</name>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
</context>
<context>
    <name>FileNaming</name>
    <message>
        <source>模板是空的</source>
        <translation>the template is empty</translation>
    </message>
    <message>
        <source>模板不能以“/”开头</source>
        <translation>the template cannot start with “/”</translation>
    </message>
    <message>
        <source>模板中有空的文件夹名</source>
        <translation>the template has an empty folder name</translation>
    </message>
    <message>
        <source>模板中不能用“.”或“..”作文件夹名</source>
        <translation>the template cannot use “.” or “..” as a folder name</translation>
    </message>
    <message>
        <source>模板中的花括号不成对，或占位符不认识（可用 {title} {singer} {id} {rate} {page}）</source>
        <translation>the template has an unmatched brace or an unknown placeholder (use {title} {singer} {id} {rate} {page})</translation>
    </message>
    <message>
        <source>文件名部分要有 {title} 或 {id}，否则歌曲会重名</source>
        <translation>the file name part needs {title} or {id}, or songs would get the same name</translation>
    </message>
</context>
<context>
    <name>MainWindowUi</name>
    <message>
        <source>《Mevra音乐管家》</source>
        <translation>Mevra Music Manager</translation>
    </message>
    <message>
        <source>必须要先登录Mevra帐号后才可以下载↓↓</source>
        <translation>Sign in to your Mevra account before downloading ↓↓</translation>
    </message>
    <message>
        <source>全部榜单：</source>
        <translation>All charts:</translation>
    </message>
    <message>
        <source>开始下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>停止下载</source>
        <translation>Stop download</translation>
    </message>
    <message>
        <source>歌曲文件名设定：</source>
        <translation>File names:</translation>
    </message>
    <message>
        <source>歌曲名</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>歌曲名 - 歌手名</source>
        <translation>Title - Singer</translation>
    </message>
    <message>
        <source>歌手名 - 歌曲名</source>
        <translation>Singer - Title</translation>
    </message>
    <message>
        <source>标准品质128K</source>
        <translation>128K standard</translation>
    </message>
    <message>
        <source>高品质192K</source>
        <translation>192K high</translation>
    </message>
    <message>
        <source>超高品质320K</source>
        <translation>320K best</translation>
    </message>
    <message>
        <source>保存位置：</source>
        <translation>Save to:</translation>
    </message>
    <message>
        <source>浏览</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>自动过滤小于                M的音乐文件</source>
        <translation>Skip files under                MB</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>All</translation>
    </message>
    <message>
        <source>反选</source>
        <translation>Invert</translation>
    </message>
    <message>
        <source>取消选择</source>
        <translation>None</translation>
    </message>
    <message>
        <source>清除列表</source>
        <translation>Clear list</translation>
    </message>
    <message>
        <source>搜索歌曲名</source>
        <translation>Find title</translation>
    </message>
    <message>
        <source>试听</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>停止试听</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>设置…</source>
        <translation>Settings…</translation>
    </message>
    <message>
        <source>作者：Pelko(pelko)</source>
        <translation>Author: Pelko(pelko)</translation>
    </message>
    <message>
        <source>新浪微博： pelko</source>
        <translation>Microblog: pelko</translation>
    </message>
    <message>
        <source>检查更新</source>
        <translation>Check update</translation>
    </message>
    <message>
        <source>抓取中......</source>
        <translation>Collecting......</translation>
    </message>
    <message>
        <source>开始分析</source>
        <translation>Analyse</translation>
    </message>
    <message>
        <source>下载记录…</source>
        <translation>History…</translation>
    </message>
</context>
<context>
    <name>ProgramProxy</name>
    <message>
        <source>代理设置有误：%1</source>
        <translation>The proxy setting is wrong: %1</translation>
    </message>
    <message>
        <source>无法连接代理服务器：%1</source>
        <translation>Cannot connect to the proxy server: %1</translation>
    </message>
    <message>
        <source>代理服务器不接受用户名或密码。</source>
        <translation>The proxy server does not accept the user name or password.</translation>
    </message>
    <message>
        <source>代理服务器拒绝连接：%1</source>
        <translation>The proxy server refused the connection: %1</translation>
    </message>
    <message>
        <source>代理服务器的回答无法识别：%1</source>
        <translation>The proxy server&apos;s answer is not understood: %1</translation>
    </message>
    <message>
        <source>无法取到门户首页：%1</source>
        <translation>Cannot fetch the portal&apos;s home page: %1</translation>
    </message>
    <message>
        <source>成功：不经代理取到了门户首页（%1）。</source>
        <translation>Success: fetched the portal&apos;s home page without a proxy (%1).</translation>
    </message>
    <message>
        <source>成功：经 %1 取到了门户首页（%2）。</source>
        <translation>Success: fetched the portal&apos;s home page through %1 (%2).</translation>
    </message>
</context>
<context>
    <name>RowStatus</name>
    <message>
        <source>等待中</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>下载中</source>
        <translation>Downloading</translation>
    </message>
    <message>
        <source>下载成功</source>
        <translation>Downloaded</translation>
    </message>
    <message>
        <source>文件太小，已过滤</source>
        <translation>File too small, filtered out</translation>
    </message>
    <message>
        <source>下载失败</source>
        <translation>Failed: </translation>
    </message>
    <message>
        <source>已存在，跳过</source>
        <translation>Already saved, skipped</translation>
    </message>
    <message>
        <source>等待重试</source>
        <translation>Waiting to retry</translation>
    </message>
    <message>
        <source>下载页面中没有%1K的下载链接</source>
        <translation>no %1K link on the download page</translation>
    </message>
    <message>
        <source>无法保存文件：%1</source>
        <translation>cannot save the file: %1</translation>
    </message>
    <message>
        <source>过滤大小不是数字</source>
        <translation>the filter size is not a number</translation>
    </message>
    <message>
        <source>用户中止下载</source>
        <translation>stopped by the user</translation>
    </message>
    <message>
        <source>保存位置的磁盘空间不足</source>
        <translation>not enough disk space in the save folder</translation>
    </message>
    <message>
        <source>磁盘空间不足，下载已停止</source>
        <translation>Not enough disk space, downloading stopped</translation>
    </message>
    <message>
        <source>无法续传：%1</source>
        <translation>cannot resume: %1</translation>
    </message>
    <message>
        <source>同名的未完成文件太多</source>
        <translation>too many unfinished files of the same name</translation>
    </message>
    <message>
        <source>服务器返回的不是音频文件</source>
        <translation>the server sent something that is not an audio file</translation>
    </message>
    <message>
        <source>服务器返回的不是音频文件（%1）</source>
        <translation>the server sent something that is not an audio file (%1)</translation>
    </message>
    <message>
        <source>另一个程序正在下载这首歌</source>
        <translation>another program is downloading this song</translation>
    </message>
    <message>
        <source>服务器%1秒没有发来数据</source>
        <translation>the server sent nothing for %1 seconds</translation>
    </message>
    <message>
        <source>已保存（无封面、无歌词）</source>
        <translation>Saved (no cover, no lyrics)</translation>
    </message>
    <message>
        <source>已保存（无封面）</source>
        <translation>Saved (no cover)</translation>
    </message>
    <message>
        <source>已保存（无歌词）</source>
        <translation>Saved (no lyrics)</translation>
    </message>
    <message>
        <source>无法创建文件夹%1</source>
        <translation>cannot create the folder %1</translation>
    </message>
    <message>
        <source>已在音乐库</source>
        <translation>Already in the library</translation>
    </message>
    <message>
        <source>代理服务器出错：%1</source>
        <translation>Proxy server error: %1</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Mevra音乐管家已在运行（进程%1），但没有应答。请关闭它后再启动。</source>
        <translation>Mevra Music Manager is already running (process %1) but does not answer. Close it, then start again.</translation>
    </message>
</context>
<context>
    <name>TransferText</name>
    <message>
        <source>《%1》已下载:%2K  总大小:%3K  已下载:%4首</source>
        <translation>“%1” received:%2K  size:%3K  saved:%4 songs</translation>
    </message>
    <message>
        <source>《%1》正在缓冲%2，请稍等...</source>
        <translation>Buffering “%1” %2, please wait...</translation>
    </message>
    <message>
        <source>下载中 %1  %2</source>
        <translation>Downloading %1  %2</translation>
    </message>
    <message>
        <source>已完成:%1/%2首  已下载:%3K</source>
        <translation>Done:%1/%2 songs  received:%3K</translation>
    </message>
</context>
<context>
    <name>mevra::app::DirectLinkSource</name>
    <message>
        <source>无法打开下载页面：%1</source>
        <translation>Could not open the download page: %1</translation>
    </message>
</context>
<context>
    <name>mevra::app::HistoryWindow</name>
    <message>
        <source>下载记录</source>
        <translation>Download History</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Saved</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>歌曲编号</source>
        <translation>Song ID</translation>
    </message>
    <message>
        <source>歌曲名</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>歌手名</source>
        <translation>Singer</translation>
    </message>
    <message>
        <source>音质</source>
        <translation>Quality</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open Folder</translation>
    </message>
    <message>
        <source>清空记录</source>
        <translation>Clear History</translation>
    </message>
    <message>
        <source>重试失败</source>
        <translation>Retry Failed</translation>
    </message>
</context>
<context>
    <name>mevra::app::MainWindow</name>
    <message>
        <source>Mevra音乐管家</source>
        <translation>Mevra Music Manager</translation>
    </message>
    <message>
        <source>文件保存失败：%1
%2</source>
        <translation>Saving the file failed: %1
%2</translation>
    </message>
    <message>
        <source>《Mevra音乐管家》       Ver:2.0</source>
        <translation>Mevra Music Manager       Ver:2.0</translation>
    </message>
    <message>
        <source>请输入歌曲名</source>
        <translation>Please enter a song title</translation>
    </message>
    <message>
        <source>共搜索到相关歌曲%1首</source>
        <translation>Found %1 matching songs</translation>
    </message>
    <message>
        <source>您确定要清除音乐信息列表吗？</source>
        <translation>Do you really want to clear the song list?</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>请先选择音乐保存位置，再开始下载</source>
        <translation>Choose where to save the music before downloading</translation>
    </message>
    <message>
        <source>正在下载《%1》</source>
        <translation>Downloading “%1”</translation>
    </message>
    <message>
        <source>《%1》下载成功</source>
        <translation>“%1” downloaded</translation>
    </message>
    <message>
        <source>%1,自动跳过</source>
        <translation>%1, skipped</translation>
    </message>
    <message>
        <source>用户中止下载！</source>
        <translation>Download stopped by the user!</translation>
    </message>
    <message>
        <source>%1！本次共下载了%2首歌曲</source>
        <translation>%1! %2 songs were downloaded this time</translation>
    </message>
    <message>
        <source>您你没选择任何歌曲，下载神马啊，亲！！<byte value="xd"/>
<byte value="xd"/>
要快速下载全部音乐吗？</source>
        <translation>You have not ticked any songs, so there is nothing to download!<byte value="xd"/>
<byte value="xd"/>
Download every song in the list?</translation>
    </message>
    <message>
        <source>所有任务已经完成！本次共下载了%1首歌曲</source>
        <translation>All done! %1 songs were downloaded this time</translation>
    </message>
    <message>
        <source>开始试听......</source>
        <translation>Preview starting......</translation>
    </message>
    <message>
        <source>抓取中......</source>
        <translation>Collecting......</translation>
    </message>
    <message>
        <source>抓取音乐信息完成！已抓取%1首音乐信息</source>
        <translation>Collecting finished! %1 songs collected</translation>
    </message>
    <message>
        <source>请选选择要试听的歌曲名称</source>
        <translation>Please choose the song to preview</translation>
    </message>
    <message>
        <source>正在准备音乐文件《%1》...</source>
        <translation>Preparing the music file “%1”...</translation>
    </message>
    <message>
        <source>无法试听《%1》：%2</source>
        <translation>Cannot preview “%1”: %2</translation>
    </message>
    <message>
        <source>停止试听</source>
        <translation>Preview stopped</translation>
    </message>
    <message>
        <source>无法清空下载记录：%1</source>
        <translation>Cannot empty the download record: %1</translation>
    </message>
    <message>
        <source>已经是最新版本！谢谢您对本软件的支持！</source>
        <translation>This is the latest version! Thank you for using this program!</translation>
    </message>
    <message>
        <source>发现新版本%1<byte value="xd"/>
<byte value="xd"/>
是否立即查看？</source>
        <translation>A new version %1 is out.<byte value="xd"/>
<byte value="xd"/>
Look at it now?</translation>
    </message>
    <message>
        <source>《%1》%2</source>
        <translation>“%1” %2</translation>
    </message>
    <message>
        <source>无法保存下载列表：%1</source>
        <translation>Could not save the song list: %1</translation>
    </message>
    <message>
        <source>上次的下载没有完成（%1首），现在继续吗？</source>
        <translation>The last download did not finish (%1 songs). Continue it now?</translation>
    </message>
    <message>
        <source>过滤大小不是数字，请填写以MB为单位的整数</source>
        <translation>The filter size is not a number. Please enter a whole number of megabytes.</translation>
    </message>
    <message>
        <source>您确定要清空下载记录吗？</source>
        <translation>Are you sure you want to clear the download history?</translation>
    </message>
    <message>
        <source>代理设置无法使用，本次不经代理连接：%1</source>
        <translation>The proxy setting cannot be used; this run connects without a proxy: %1</translation>
    </message>
</context>
<context>
    <name>mevra::app::PreferencesDialog</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source> 首</source>
        <translation> songs</translation>
    </message>
    <message>
        <source>另存为新文件（加 _new 和音质）</source>
        <translation>Save as a new file (add _new and the rate)</translation>
    </message>
    <message>
        <source>跳过，不下载</source>
        <translation>Skip it, do not download</translation>
    </message>
    <message>
        <source>覆盖原文件</source>
        <translation>Replace the file</translation>
    </message>
    <message>
        <source>记录已下载的歌曲，下次跳过</source>
        <translation>Record downloaded songs and skip them next time</translation>
    </message>
    <message>
        <source>清空记录</source>
        <translation>Empty record</translation>
    </message>
    <message>
        <source> 次</source>
        <translation> times</translation>
    </message>
    <message>
        <source>不限速</source>
        <translation>No limit</translation>
    </message>
    <message>
        <source>为没有标签的歌曲写入歌曲名和歌手名</source>
        <translation>Write title and singer into songs without tags</translation>
    </message>
    <message>
        <source>同时下载：</source>
        <translation>At once:</translation>
    </message>
    <message>
        <source>文件已存在时：</source>
        <translation>When the file exists:</translation>
    </message>
    <message>
        <source>下载记录：</source>
        <translation>Download record:</translation>
    </message>
    <message>
        <source>失败后重试：</source>
        <translation>Retries after a failure:</translation>
    </message>
    <message>
        <source>限速：</source>
        <translation>Speed limit:</translation>
    </message>
    <message>
        <source>歌曲标签：</source>
        <translation>Song tags:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>（已记录 %1 首）</source>
        <translation>(%1 songs recorded)</translation>
    </message>
    <message>
        <source> 秒</source>
        <translation> s</translation>
    </message>
    <message>
        <source>无数据超时：</source>
        <translation>Time out after no data for:</translation>
    </message>
    <message>
        <source>把封面写入歌曲</source>
        <translation>Embed the cover in the song</translation>
    </message>
    <message>
        <source>另存 cover.jpg 到歌曲所在文件夹</source>
        <translation>Also save cover.jpg in the song&apos;s folder</translation>
    </message>
    <message>
        <source>写入歌曲</source>
        <translation>Embed in the song</translation>
    </message>
    <message>
        <source>另存 .lrc 文件</source>
        <translation>Save as a .lrc file</translation>
    </message>
    <message>
        <source>写入歌曲并另存 .lrc 文件</source>
        <translation>Embed and save as a .lrc file</translation>
    </message>
    <message>
        <source>不要歌词</source>
        <translation>No lyrics</translation>
    </message>
    <message>
        <source>封面：</source>
        <translation>Cover:</translation>
    </message>
    <message>
        <source>歌词：</source>
        <translation>Lyrics:</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>可用 {title} {singer} {id} {rate} {page}，“/”分隔文件夹</source>
        <translation>Use {title} {singer} {id} {rate} {page}; “/” separates folders</translation>
    </message>
    <message>
        <source>文件名：</source>
        <translation>File names:</translation>
    </message>
    <message>
        <source>歌曲名</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>歌手名</source>
        <translation>Singer</translation>
    </message>
    <message>
        <source>新歌TOP100</source>
        <translation>Top 100 New Songs</translation>
    </message>
    <message>
        <source>每批下载完成后生成播放列表（页面标题.m3u8）</source>
        <translation>Write a playlist after each batch (page title.m3u8)</translation>
    </message>
    <message>
        <source>播放列表：</source>
        <translation>Playlist:</translation>
    </message>
    <message>
        <source>保存位置中已有的歌曲标为“已在音乐库”，不勾选</source>
        <translation>Mark songs the save folder already holds as “in the library” and untick them</translation>
    </message>
    <message>
        <source>音乐库：</source>
        <translation>Library:</translation>
    </message>
    <message>
        <source>按系统设置（环境变量）</source>
        <translation>System settings (environment)</translation>
    </message>
    <message>
        <source>不使用代理</source>
        <translation>No proxy</translation>
    </message>
    <message>
        <source>使用下面的代理</source>
        <translation>This proxy:</translation>
    </message>
    <message>
        <source>测试</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>下载和检查更新立即使用新的代理设置，网页在下次启动后使用。</source>
        <translation>Downloads and the update check use a new proxy setting at once; web pages use it from the next start.</translation>
    </message>
    <message>
        <source>代理：</source>
        <translation>Proxy:</translation>
    </message>
    <message>
        <source>正在测试……</source>
        <translation>Testing…</translation>
    </message>
</context>
<context>
    <name>mevra::app::SessionStore</name>
    <message>
        <source>上次的下载列表无法读取（%1），已将它另存为 %2，现在从空列表开始。</source>
        <translation>The song list from last time could not be read (%1). It has been set aside as %2; starting with an empty list.</translation>
    </message>
    <message>
        <source>下载列表 %1 正在被另一个程序使用，本次的列表不会被保存。</source>
        <translation>The song list %1 is in use by another program; this session&apos;s list will not be saved.</translation>
    </message>
    <message>
        <source>无法保存下载列表 %1（%2），本次的列表不会被保存。</source>
        <translation>The song list cannot be saved at %1 (%2); this session&apos;s list will not be saved.</translation>
    </message>
</context>
<context>
    <name>mevra::app::SongListModel</name>
    <message>
        <source>未完成</source>
        <translation>Unfinished</translation>
    </message>
    <message>
        <source>歌曲编号</source>
        <translation>Song ID</translation>
    </message>
    <message>
        <source>歌曲名</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>歌手名</source>
        <translation>Singer</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
</context>
</TS>
