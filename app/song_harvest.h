#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mevra::app {

// The text in front of and behind the first occurrence of a token.
struct SplitParts {
  std::string_view before;
  std::string_view after;
};

// Splits `text` at the first occurrence of `token` (exact and case-sensitive). When the token
// does not occur, `before` is the whole text and `after` is empty. Both parts view into `text`.
SplitParts SplitAtFirst(std::string_view text, std::string_view token);

// Removes leading and trailing characters with codes up to 32 (blanks and control characters).
std::string_view TrimControls(std::string_view text);

// One song as the portal lists it: id (decimal digits on the portal's pages), title and singer.
struct SongItem {
  std::string id;
  std::string title;
  std::string singer;

  bool operator==(const SongItem&) const = default;
};

// The portal writes this in the class attribute in front of every song item's object; the two
// blanks after "clearfix" are part of it.
inline constexpr std::string_view kSongItemMarker = "clearfix  song-item-hook {";

// Reads id, title and singer out of one item text (the text between the marker and the next
// "}"). Apostrophes are dropped first; a missing key gives an empty field.
SongItem ParseSongItem(std::string_view item);

// Every song item of a page, in page order, repeats included; items without an id are left out.
// One pass over the page: the scan never copies the rest of the page, so the cost grows with
// the page size only.
std::vector<SongItem> HarvestSongItems(std::string_view page);

// The page's own title, from its <title> element, with the usual entities read and blanks
// trimmed; empty when it has none.
std::string HarvestPageTitle(std::string_view page);

}  // namespace mevra::app
