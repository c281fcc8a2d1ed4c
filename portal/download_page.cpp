#include "portal/download_page.h"

#include "portal/html_text.h"
#include "portal/song_extras.h"

namespace mevra::portal {
namespace {

std::string SlashEscaped(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '/') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::string FileLinkPath(const Song& song, int rate, const LinkSigner& signer) {
  return "/data/music/" + song.id + "/" + std::to_string(rate) +
         ".mp3?t=" + signer.Token(song.id, rate);
}

std::string DownloadPage(const Song& song, const PortalUrls& urls, const LinkSigner& signer,
                         bool signed_in) {
  std::string body =
      "<h1>下载：" + HtmlEscape(song.title) + " - " + HtmlEscape(song.singer) + "</h1>\n";
  if (!signed_in) {
    const std::string back = urls.music + "/song/" + song.id + "/download";
    body += "<p class=\"hint\">请先登录Mevra帐号后再下载。 <a href=\"" +
            HtmlEscape(urls.LoginPage(back)) + "\">登录</a></p>";
    return HtmlPage("下载 - Mevra音乐", body);
  }
  std::string entries;
  std::string list = "<ul class=\"rates\">\n";
  for (int rate : song.rates) {
    const std::string link = FileLinkPath(song, rate, signer);
    if (!entries.empty()) entries += ",";
    entries += "{\"rate\":" + std::to_string(rate) + ",\"link\":\"" + SlashEscaped(link) + "\"}";
    list += "<li><a href=\"" + HtmlEscape(link) + "\">" + std::to_string(rate) + "kbps</a></li>\n";
  }
  std::string extras;
  if (song.has_cover) extras += ",\"cover\":\"" + SlashEscaped(CoverPath(song)) + "\"";
  if (song.lyrics != Lyrics::kNone) {
    extras += ",\"lyrics\":\"" + SlashEscaped(LyricsPath(song)) + "\"";
  }
  body += "<script>\nvar songDownload = {\"id\":" + ScriptJsonString(song.id) +
          ",\"title\":" + ScriptJsonString(song.title) + ",\"rates\":[" + entries + "]" + extras +
          "};\n</script>\n" + list + "</ul>";
  return HtmlPage("下载 - Mevra音乐", body);
}

}  // namespace mevra::portal
