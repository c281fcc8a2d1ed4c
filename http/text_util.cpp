#include "http/text_util.h"

#include <charconv>

namespace mevra::http {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char UpperByte(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

template <typename T>
std::optional<T> ParseDecimal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  // from_chars accepts a minus but no plus sign.
  if (*first == '+') {
    ++first;
    if (first == last || *first == '-') return std::nullopt;
  }
  T value{};
  auto [end, error] = std::from_chars(first, last, value, 10);
  if (error != std::errc() || end != last) return std::nullopt;
  return value;
}

}  // namespace

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

std::string ToUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = UpperByte(c);
  return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(UpperByte(a[i]));
    const auto cb = static_cast<unsigned char>(UpperByte(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string PercentEncodeForWire(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // Unreserved and reserved characters of a request target, and "%" for what is already encoded.
  // "#" would start a fragment and the brackets belong to IPv6 hosts only, so they are encoded.
  static constexpr std::string_view kKept = "-._~:/?@!$&'()*+,;=%";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool alphanumeric = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                              (byte >= '0' && byte <= '9');
    if (alphanumeric || kKept.find(c) != std::string_view::npos) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

bool HasBlankOrControl(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return true;
  }
  return false;
}

std::optional<int32_t> ParseInt32(std::string_view text) { return ParseDecimal<int32_t>(text); }

std::optional<int64_t> ParseInt64(std::string_view text) { return ParseDecimal<int64_t>(text); }

}  // namespace mevra::http
