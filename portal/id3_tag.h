#pragma once

#include <string>
#include <string_view>

namespace mevra::portal {

// An ID3v2.3 tag with a title (TIT2) and an artist (TPE1) frame, both as UTF-16 with a byte
// order mark, which every player of that tag version reads. Input is UTF-8.
std::string Id3v23Tag(std::string_view title, std::string_view artist);

// UTF-8 to UTF-16 little endian; invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace mevra::portal
