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

// A decimal integer with an optional sign and nothing else around it; nullopt when the text is
// not one or does not fit.
std::optional<int32_t> ParseInt32(std::string_view text);
std::optional<int64_t> ParseInt64(std::string_view text);

}  // namespace mevra::http
