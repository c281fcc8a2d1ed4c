#pragma once

#include <string>
#include <string_view>

#include <vector>

#include "portal/chart.h"
#include "portal/portal_urls.h"
#include "portal/song.h"

namespace mevra::portal {

// A chart page. Its first two thirds of song items are in the markup; the rest are listed in a
// JSON array (<script type="application/json" id="late-songs">, objects with "sid", "sname" and
// "author") that a script turns into the same items once the document has been parsed, as the
// real portal fills its lists. The chart "chizha" also holds two same-origin frames.
std::string ChartPage(const Chart& chart, const PortalUrls& urls);
// The same page for songs of no chart of the catalog (the big chart).
std::string SongListPage(std::string_view key, const std::string& name,
                         const std::vector<const Song*>& songs, const PortalUrls& urls);

// How many of a chart's `count` items are in the markup; the rest come from the script.
size_t StaticItemCount(size_t count);

// The small pages shown in the frames of the chart "chizha"; empty for an unknown frame name.
std::string FramePage(std::string_view name);

// The music host's own front page: the list of charts.
std::string MusicIndexPage(const PortalUrls& urls);

}  // namespace mevra::portal
