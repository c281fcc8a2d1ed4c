#pragma once

#include <QString>
#include <array>

namespace mevra::app {

// One of the portal's charts: its display name and its path under the music base URL.
struct Chart {
  const char* name;  // UTF-8
  const char* path;
};

inline constexpr std::array<Chart, 17> kCharts = {{
    {"歌曲TOP500", "/top/dayhot"},
    {"新歌TOP100", "/top/new"},
    {"华语金曲榜", "/top/huayu"},
    {"欧美金曲榜", "/top/oumei"},
    {"影视金曲榜", "/top/yingshijinqu"},
    {"情歌对唱榜", "/top/lovesong"},
    {"网络歌曲榜", "/top/netsong"},
    {"经典老歌榜", "/top/oldsong"},
    {"摇滚榜", "/top/rock"},
    {"爵士榜", "/top/jazz"},
    {"民谣榜", "/top/folk"},
    {"好声音金曲榜", "/top/chinavoice"},
    {"KTV热歌榜", "/top/ktv"},
    {"Billboard", "/top/billboard"},
    {"UKChart", "/top/ukchart"},
    {"Hito中文榜", "/top/hito"},
    {"叱咤歌曲榜", "/top/chizha"},
}};

// The chart list shows the name; the address follows after enough blanks to push it out of
// sight in the narrow list, and the click handler reads it back from the text.
inline constexpr int kChartBlankRun = 60;

// Display name, a run of blanks, and the chart's full address.
QString ChartItemText(const Chart& chart, const QString& music_base_url);

// The address in a chart item's text: what follows the first blank, trimmed; empty when the
// text has no blank.
QString ChartItemUrl(const QString& item_text);

}  // namespace mevra::app
