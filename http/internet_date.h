#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace mevra::http {

// A point in time to the second. The epoch stands for "no date", as 0 does in the header
// records; an absolute time needs no conversion between GMT and local time.
using DateTime = std::chrono::sys_seconds;

// Reads the date forms servers send: "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94
// 08:49:37 GMT", "Sun Nov  6 08:49:37 1994", also with a numeric zone such as "+0800".
// nullopt when the text is not such a date.
std::optional<DateTime> ParseInternetDate(std::string_view text);

// Writes "Sun, 06 Nov 1994 08:49:37 GMT".
std::string FormatInternetDate(DateTime time);

DateTime Now();

}  // namespace mevra::http
