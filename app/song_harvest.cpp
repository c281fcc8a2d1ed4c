#include "app/song_harvest.h"

namespace mevra::app {

SplitParts SplitAtFirst(std::string_view text, std::string_view token) {
  // An empty token is never "found", so the whole text stays in front.
  const size_t at = token.empty() ? std::string_view::npos : text.find(token);
  if (at == std::string_view::npos) return {text, {}};
  return {text.substr(0, at), text.substr(at + token.size())};
}

std::string_view TrimControls(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

SongItem ParseSongItem(std::string_view item) {
  std::string plain;
  plain.reserve(item.size());
  for (char c : item) {
    if (c != '\'') plain.push_back(c);
  }
  // The singer runs to the end of the item, so only the title is cut at a comma.
  std::string_view rest = SplitAtFirst(plain, "sid:").after;
  SplitParts id = SplitAtFirst(rest, ",");
  rest = SplitAtFirst(id.after, "sname:").after;
  SplitParts title = SplitAtFirst(rest, ",");
  std::string_view singer = SplitAtFirst(title.after, "author:").after;
  return {std::string(TrimControls(id.before)), std::string(TrimControls(title.before)),
          std::string(TrimControls(singer))};
}

std::vector<SongItem> HarvestSongItems(std::string_view page) {
  std::vector<SongItem> items;
  size_t position = 0;
  while (true) {
    const size_t marker = page.find(kSongItemMarker, position);
    if (marker == std::string_view::npos) break;
    const size_t begin = marker + kSongItemMarker.size();
    const size_t close = page.find('}', begin);
    // Without a closing brace the item runs to the end of the page and the scan is over.
    const size_t end = close == std::string_view::npos ? page.size() : close;
    position = close == std::string_view::npos ? page.size() : close + 1;
    SongItem item = ParseSongItem(page.substr(begin, end - begin));
    if (!item.id.empty()) items.push_back(std::move(item));
  }
  return items;
}

std::string HarvestPageTitle(std::string_view page) {
  const size_t open = page.find("<title");
  if (open == std::string_view::npos) return {};
  const size_t start = page.find('>', open);
  if (start == std::string_view::npos) return {};
  const size_t end = page.find("</title>", start);
  if (end == std::string_view::npos) return {};
  const std::string_view raw = page.substr(start + 1, end - start - 1);
  std::string title;
  for (size_t at = 0; at < raw.size(); ++at) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      if (raw.substr(at, entity.size()) == entity) {
        title += c;
        at += entity.size() - 1;
        replaced = true;
        break;
      }
    }
    if (!replaced) title += raw[at];
  }
  return std::string(TrimControls(title));
}

}  // namespace mevra::app
