#include "portal/music_routes.h"

#include <algorithm>

#include "portal/catalog.h"
#include "portal/chart_page.h"
#include "portal/download_page.h"
#include "portal/file_delivery.h"
#include "portal/route_helpers.h"
#include "portal/song_extras.h"

namespace mevra::portal {
namespace {

bool IsDigits(const std::string& text) {
  return !text.empty() && text.size() <= 12 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const Song* SongOf(const std::string& id, const PortalState& state) {
  if (!IsDigits(id)) return nullptr;
  if (const Song* song = FindSong(id)) return song;
  // The big chart's ids count up from its first one.
  const std::vector<Song>& big = state.big_chart_songs;
  if (big.empty()) return nullptr;
  const uint64_t first = std::stoull(big.front().id);
  const uint64_t number = std::stoull(id);
  return number >= first && number - first < big.size() ? &big[number - first] : nullptr;
}

void ServeFile(const httplib::Request& req, httplib::Response& res, PortalState& state) {
  const bool stored = req.matches[1] == "store";
  const Song* song = SongOf(req.matches[2], state);
  if (!song) return SendError(res, 404, "没有这首歌曲。");
  const std::string rate_text = req.matches[3];
  const int rate = IsDigits(rate_text) && rate_text.size() <= 3 ? std::stoi(rate_text) : 0;
  if (!song->Offers(rate)) return SendError(res, 404, "这首歌曲没有这个音质。");
  const std::string token = req.get_param_value("t");
  if (!state.signer.Verify(song->id, rate, token)) {
    return SendError(res, 403, "下载链接无效或已过期。");
  }
  if (song->fault == Fault::kMissingFile) return SendError(res, 404, "文件不存在。");
  if (song->delivery == Delivery::kRedirect && !stored) {
    res.set_redirect("/data/store/" + song->id + "/" + rate_text + ".mp3?t=" + token);
    return;
  }
  DeliverSongFile(req, *song, rate, state, res);
}

}  // namespace

void InstallMusicRoutes(httplib::Server& server, PortalState& state) {
  server.Get("/", [&state](const httplib::Request&, httplib::Response& res) {
    SendHtml(res, MusicIndexPage(state.urls));
  });
  server.Get("/top/([^/]+)/?", [&state](const httplib::Request& req, httplib::Response& res) {
    const std::string key = req.matches[1].str();
    if (key == kBigChart && !state.big_chart_songs.empty()) {
      std::vector<const Song*> songs;
      songs.reserve(state.big_chart_songs.size());
      for (const Song& song : state.big_chart_songs) songs.push_back(&song);
      return SendHtml(res, SongListPage(key, "大榜单", songs, state.urls));
    }
    const Chart* chart = FindChart(key);
    if (!chart) return SendError(res, 404, "没有这个榜单。");
    SendHtml(res, ChartPage(*chart, state.urls));
  });
  server.Get("/frame/([a-z]+)", [](const httplib::Request& req, httplib::Response& res) {
    std::string page = FramePage(req.matches[1].str());
    if (page.empty()) return SendError(res, 404, "没有这个页面。");
    SendHtml(res, std::move(page));
  });
  server.Get("/song/([^/]+)/download/?",
             [&state](const httplib::Request& req, httplib::Response& res) {
               const Song* song = SongOf(req.matches[1].str(), state);
               if (!song) return SendError(res, 404, "没有这首歌曲。");
               SendHtml(res, DownloadPage(*song, state.urls, state.signer,
                                          CurrentUser(req, state).has_value()));
             });
  // Covers and lyrics are the song's own pictures and words, not its file: no token needed.
  server.Get("/data/cover/([^/]+)\\.jpg",
             [&state](const httplib::Request& req, httplib::Response& res) {
               const Song* song = SongOf(req.matches[1].str(), state);
               std::string jpeg = song ? CoverJpeg(*song) : std::string();
               if (jpeg.empty()) return SendError(res, 404, "这首歌曲没有封面。");
               res.set_content(std::move(jpeg), "image/jpeg");
             });
  server.Get("/data/lyrics/([^/]+)\\.lrc",
             [&state](const httplib::Request& req, httplib::Response& res) {
               const Song* song = SongOf(req.matches[1].str(), state);
               std::string text = song ? LyricsText(*song) : std::string();
               if (text.empty()) return SendError(res, 404, "这首歌曲没有歌词。");
               res.set_content(std::move(text), "text/plain; charset=utf-8");
             });
  server.Get("/data/(music|store)/([^/]+)/([^/]+)\\.mp3",
             [&state](const httplib::Request& req, httplib::Response& res) {
               ServeFile(req, res, state);
             });
}

}  // namespace mevra::portal
