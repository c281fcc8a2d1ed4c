#pragma once

#include <QString>

#include "download/link_source.h"

namespace mevra::app {

// The text that precedes the file link of one bit rate in a song's download page, for example
// {"rate":128,"link":" for rate "128".
QString RateMarker(const QString& rate);

// The download page of a song: music base URL + "/song/" + trimmed id + "/download".
QString SongPageUrl(const QString& music_base_url, const QString& id);

// What a download page offers for one rate.
struct SongLink {
  QString url;  // music base URL + the link path with every backslash removed
  bool found =
      false;  // false when the page holds no link for the rate (the url is then the bare base)
};

// Cuts the link for `rate` out of a download page's text. The path runs from behind the rate
// marker to the next double quote; the page writes a backslash before each slash.
SongLink CutSongLink(const QString& page_text, const QString& rate, const QString& music_base_url);

// What a loaded download page answers for `rate`: its link, or "no link" with the reason. Every
// link source reads its pages through this one function.
download::LinkAnswer AnswerFromPage(const QString& page_text, const QString& rate,
                                    const QString& music_base_url);

}  // namespace mevra::app
