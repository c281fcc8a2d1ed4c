#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

namespace mevra::app {

// One of the portal's charts: its display name and its path under the music base URL.
struct Chart {
  const char* name;  // UTF-8, the source text of its translation (context "Charts")
  const char* path;
};

inline constexpr std::array<Chart, 17> kCharts = {{
    {QT_TRANSLATE_NOOP("Charts", "歌曲TOP500"), "/top/dayhot"},
    {QT_TRANSLATE_NOOP("Charts", "新歌TOP100"), "/top/new"},
    {QT_TRANSLATE_NOOP("Charts", "华语金曲榜"), "/top/huayu"},
    {QT_TRANSLATE_NOOP("Charts", "欧美金曲榜"), "/top/oumei"},
    {QT_TRANSLATE_NOOP("Charts", "影视金曲榜"), "/top/yingshijinqu"},
    {QT_TRANSLATE_NOOP("Charts", "情歌对唱榜"), "/top/lovesong"},
    {QT_TRANSLATE_NOOP("Charts", "网络歌曲榜"), "/top/netsong"},
    {QT_TRANSLATE_NOOP("Charts", "经典老歌榜"), "/top/oldsong"},
    {QT_TRANSLATE_NOOP("Charts", "摇滚榜"), "/top/rock"},
    {QT_TRANSLATE_NOOP("Charts", "爵士榜"), "/top/jazz"},
    {QT_TRANSLATE_NOOP("Charts", "民谣榜"), "/top/folk"},
    {QT_TRANSLATE_NOOP("Charts", "好声音金曲榜"), "/top/chinavoice"},
    {QT_TRANSLATE_NOOP("Charts", "KTV热歌榜"), "/top/ktv"},
    {QT_TRANSLATE_NOOP("Charts", "Billboard"), "/top/billboard"},
    {QT_TRANSLATE_NOOP("Charts", "UKChart"), "/top/ukchart"},
    {QT_TRANSLATE_NOOP("Charts", "Hito中文榜"), "/top/hito"},
    {QT_TRANSLATE_NOOP("Charts", "叱咤歌曲榜"), "/top/chizha"},
}};

// The chart list shows the name; the address follows after enough blanks to push it out of
// sight in the narrow list, and the click handler reads it back from the text.
inline constexpr int kChartBlankRun = 60;

// Display name, a run of blanks, and the chart's full address.
QString ChartItemText(const Chart& chart, const QString& music_base_url);

// The address in a chart item's text: what follows its last blank, so a translated name may
// hold blanks of its own; empty when the text has no blank.
QString ChartItemUrl(const QString& item_text);

}  // namespace mevra::app
