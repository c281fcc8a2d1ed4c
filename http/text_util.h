#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mevra::http {

// Byte-wise text helpers. Header names, protocols and cookie names are ASCII, so case folding
// only touches A-Z and a-z; every other byte passes through unchanged.

std::string Trim(std::string_view text);
std::string TrimRight(std::string_view text);
std::string ToUpper(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Orders a and b without regard to case; negative, zero or positive.
int CompareNoCase(std::string_view a, std::string_view b);

// `text` with every byte that may not stand in a URI (blanks, control bytes, bytes of non-ASCII
// characters, quotes, braces and the like) written as %XX, so that nothing from a URL can break
// the request line or a header. The URI characters themselves, "%" among them, stay as they are.
std::string PercentEncodeForWire(std::string_view text);
// Whether `text` holds a blank or a control byte.
bool HasBlankOrControl(std::string_view text);

// A decimal integer with an optional sign and nothing else around it; nullopt when the text is
// not one or does not fit.
std::optional<int32_t> ParseInt32(std::string_view text);
std::optional<int64_t> ParseInt64(std::string_view text);

}  // namespace mevra::http
