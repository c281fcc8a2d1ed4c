#include "portal/chart_page.h"

#include "portal/catalog.h"
#include "portal/html_text.h"

namespace mevra::portal {
namespace {

// The chart whose page also loads two frames, so that loading it completes three documents.
constexpr std::string_view kFramedChart = "chizha";

// The script assembles the item marker from pieces: written out whole, it would itself be
// found in the page text and read as a song item.
constexpr const char* kLateItemsScript = R"JS(
<script>
document.addEventListener('DOMContentLoaded', function () {
  var list = document.getElementById('song-list');
  var songs = JSON.parse(document.getElementById('late-songs').textContent);
  var hook = ['clearfix', '', 'song-item-hook', '{'].join(' ');
  var start = list.children.length;
  songs.forEach(function (s, i) {
    var item = document.createElement('li');
    item.className = hook + " 'sid': '" + s.sid + "', 'sname': '" + s.sname +
        "', 'author': '" + s.author + "' " + String.fromCharCode(125);
    var index = document.createElement('span');
    index.className = 'index';
    index.textContent = String(start + i + 1);
    var name = document.createElement('a');
    name.className = 'song-name';
    name.href = '/song/' + s.sid + '/download';
    name.textContent = s.sname;
    var author = document.createElement('span');
    author.className = 'author';
    author.textContent = s.author;
    item.append(index, ' ', name, ' - ', author);
    list.appendChild(item);
  });
});
</script>)JS";

std::string StaticItem(const Song& song, size_t index) {
  const std::string klass = "clearfix  song-item-hook { 'sid': '" + song.id + "', 'sname': '" +
                            song.title + "', 'author': '" + song.singer + "' }";
  return "<li class=\"" + HtmlEscape(klass) + "\"><span class=\"index\">" +
         std::to_string(index + 1) + "</span> <a class=\"song-name\" href=\"/song/" + song.id +
         "/download\">" + HtmlEscape(song.title) + "</a> - <span class=\"author\">" +
         HtmlEscape(song.singer) + "</span></li>\n";
}

std::string LateItem(const Song& song) {
  return "{\"sid\":" + ScriptJsonString(song.id) + ",\"sname\":" + ScriptJsonString(song.title) +
         ",\"author\":" + ScriptJsonString(song.singer) + "}";
}

std::string ChartLinks(const PortalUrls& urls) {
  std::string nav = "<p class=\"nav\"><a href=\"" + HtmlEscape(urls.HomePage()) + "\">首页</a>";
  for (const Chart& chart : Charts()) {
    nav += " | <a href=\"/top/" + chart.key + "\">" + HtmlEscape(chart.name) + "</a>";
  }
  return nav + "</p>\n";
}

}  // namespace

size_t StaticItemCount(size_t count) { return count - count / 3; }

std::string ChartPage(const Chart& chart, const PortalUrls& urls) {
  std::vector<const Song*> songs;
  for (const std::string& id : chart.song_ids) {
    if (const Song* song = FindSong(id)) songs.push_back(song);
  }
  return SongListPage(chart.key, chart.name, songs, urls);
}

std::string SongListPage(std::string_view key, const std::string& name,
                         const std::vector<const Song*>& songs, const PortalUrls& urls) {
  std::string body = ChartLinks(urls) + "<h1>" + HtmlEscape(name) + "</h1>\n";
  if (key == kFramedChart) {
    body +=
        "<iframe src=\"/frame/ad\" width=\"300\" height=\"60\" title=\"ad\"></iframe>\n"
        "<iframe src=\"/frame/side\" width=\"300\" height=\"60\" title=\"side\"></iframe>\n";
  }
  const size_t static_count = StaticItemCount(songs.size());
  body += "<ul id=\"song-list\">\n";
  std::string late = "[";
  for (size_t i = 0; i < songs.size(); ++i) {
    if (i < static_count) {
      body += StaticItem(*songs[i], i);
    } else {
      if (late.size() > 1) late += ",\n";
      late += LateItem(*songs[i]);
    }
  }
  body += "</ul>\n<script type=\"application/json\" id=\"late-songs\">" + late + "]</script>";
  body += kLateItemsScript;
  return HtmlPage(name + " - Mevra音乐", body);
}

std::string FramePage(std::string_view name) {
  if (name == "ad") {
    return HtmlPage("ad", "<p>Mevra音乐 — 好歌天天听</p>");
  }
  if (name == "side") {
    return HtmlPage("side", "<p>今日推荐：新歌TOP100</p>");
  }
  return {};
}

std::string MusicIndexPage(const PortalUrls& urls) {
  return HtmlPage("Mevra音乐 - 榜单", ChartLinks(urls) + "<h1>榜单</h1>");
}

}  // namespace mevra::portal
