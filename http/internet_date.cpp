#include "http/internet_date.h"

#include <array>
#include <cstdio>
#include <vector>

#include "http/text_util.h"

namespace mevra::http {

namespace {

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "hh:mm:ss" (or "hh:mm") into seconds of the day.
std::optional<int> ParseClock(std::string_view token) {
  int parts[3] = {0, 0, 0};
  int count = 0;
  size_t i = 0;
  while (i < token.size() && count < 3) {
    size_t start = i;
    while (i < token.size() && IsDigit(token[i])) ++i;
    if (i == start || i - start > 2) return std::nullopt;
    parts[count++] = std::stoi(std::string(token.substr(start, i - start)));
    if (i < token.size()) {
      if (token[i] != ':') return std::nullopt;
      ++i;
    }
  }
  if (count < 2 || i != token.size()) return std::nullopt;
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 60) return std::nullopt;
  return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

}  // namespace

std::optional<DateTime> ParseInternetDate(std::string_view text) {
  // Split into words of letters, digits (with ':' inside clock times) and signed zone offsets;
  // blanks, commas and dashes between day, month and year are separators.
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if ((c == '+' || c == '-') && i + 1 < text.size() && IsDigit(text[i + 1]) &&
        (tokens.empty() || ParseClock(tokens.back()).has_value())) {
      size_t start = i++;
      while (i < text.size() && IsDigit(text[i])) ++i;
      tokens.emplace_back(text.substr(start, i - start));
    } else if (IsDigit(c)) {
      size_t start = i;
      while (i < text.size() && (IsDigit(text[i]) || text[i] == ':')) ++i;
      tokens.emplace_back(text.substr(start, i - start));
    } else if (IsAlpha(c)) {
      size_t start = i;
      while (i < text.size() && IsAlpha(text[i])) ++i;
      tokens.emplace_back(text.substr(start, i - start));
    } else {
      ++i;
    }
  }

  int day = -1, month = -1, year = -1, seconds = -1, offset = 0;
  for (const std::string& token : tokens) {
    if (IsAlpha(token[0])) {
      bool known = false;
      for (size_t m = 0; m < kMonths.size(); ++m) {
        if (token.size() >= 3 && StartsWithNoCase(token, kMonths[m])) {
          if (month >= 0) return std::nullopt;
          month = static_cast<int>(m) + 1;
          known = true;
        }
      }
      for (const char* name : kDays) known = known || StartsWithNoCase(token, name);
      if (EqualsNoCase(token, "GMT") || EqualsNoCase(token, "UTC") || EqualsNoCase(token, "Z")) {
        known = true;
      }
      if (!known) return std::nullopt;
    } else if (token[0] == '+' || token[0] == '-') {
      if (token.size() != 5) return std::nullopt;
      const int hh = std::stoi(token.substr(1, 2));
      const int mm = std::stoi(token.substr(3, 2));
      offset = (hh * 3600 + mm * 60) * (token[0] == '-' ? -1 : 1);
    } else if (token.find(':') != std::string::npos) {
      if (seconds >= 0) return std::nullopt;
      const auto clock = ParseClock(token);
      if (!clock) return std::nullopt;
      seconds = *clock;
    } else if (token.size() <= 2 && day < 0) {
      day = std::stoi(token);
    } else if (token.size() <= 4 && year < 0) {
      year = std::stoi(token);
      // Two-digit years as cookies still carry them: 70-99 are 19xx, the rest 20xx.
      if (token.size() <= 2) year += year >= 70 ? 1900 : 2000;
    } else {
      return std::nullopt;
    }
  }
  if (day < 1 || month < 1 || year < 1601 || seconds < 0) return std::nullopt;

  using namespace std::chrono;
  const year_month_day date{std::chrono::year{year},
                            std::chrono::month{static_cast<unsigned>(month)},
                            std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok()) return std::nullopt;
  return sys_days{date} + std::chrono::seconds{seconds - offset};
}

std::string FormatInternetDate(DateTime time) {
  using namespace std::chrono;
  const sys_days days = floor<std::chrono::days>(time);
  const year_month_day date{days};
  const hh_mm_ss clock{time - days};
  const unsigned weekday = std::chrono::weekday{days}.c_encoding();
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02u %s %04d %02ld:%02ld:%02ld GMT", kDays[weekday],
                static_cast<unsigned>(date.day()), kMonths[static_cast<unsigned>(date.month()) - 1],
                static_cast<int>(date.year()), static_cast<long>(clock.hours().count()),
                static_cast<long>(clock.minutes().count()),
                static_cast<long>(clock.seconds().count()));
  return text;
}

DateTime Now() {
  return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

}  // namespace mevra::http
