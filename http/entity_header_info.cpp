#include "http/entity_header_info.h"

#include "http/text_util.h"

namespace mevra::http {

namespace {

// A date header of the response; a text that is no date reads as "no date".
DateTime ReadDate(const std::string& text) { return ParseInternetDate(text).value_or(DateTime{}); }

}  // namespace

EntityHeaderInfo::EntityHeaderInfo() { Clear(); }

void EntityHeaderInfo::Clear() {
  connection_.clear();
  content_version_.clear();
  content_encoding_.clear();
  content_language_.clear();
  content_type_ = "text/html";
  content_length_ = -1;
  has_content_length_ = false;
  content_range_start_ = 0;
  content_range_end_ = 0;
  cache_control_.clear();
  date_ = DateTime{};
  expires_ = DateTime{};
  last_modified_ = DateTime{};
  pragma_.clear();
  raw_headers_.Clear();
}

void EntityHeaderInfo::SetHeaders() {
  raw_headers_.Clear();
  raw_headers_.SetValue("Connection", connection_);
  raw_headers_.SetValue("Content-Version", content_version_);
  raw_headers_.SetValue("Content-Encoding", content_encoding_);
  raw_headers_.SetValue("Content-Language", content_language_);
  raw_headers_.SetValue("Content-Type", content_type_);
  if (content_length_ >= 0)
    raw_headers_.SetValue("Content-Length", std::to_string(content_length_));
  raw_headers_.SetValue("Cache-control", cache_control_);
  if (date_ > DateTime{}) raw_headers_.SetValue("Date", FormatInternetDate(date_));
  if (expires_ > DateTime{}) raw_headers_.SetValue("Expires", FormatInternetDate(expires_));
  raw_headers_.SetValue("Pragma", pragma_);
  raw_headers_.AddLines(custom_headers_);
}

void EntityHeaderInfo::ProcessHeaders() {
  connection_ = raw_headers_.Value("Connection");
  content_version_ = raw_headers_.Value("Content-Version");
  content_encoding_ = raw_headers_.Value("Content-Encoding");
  content_language_ = raw_headers_.Value("Content-Language");
  content_type_ = raw_headers_.Value("Content-Type");
  content_length_ = ParseInt64(Trim(raw_headers_.Value("Content-Length"))).value_or(-1);
  if (content_length_ < 0) content_length_ = -1;
  has_content_length_ = content_length_ >= 0;
  cache_control_ = raw_headers_.Value("Cache-control");
  date_ = ReadDate(raw_headers_.Value("Date"));
  last_modified_ = ReadDate(raw_headers_.Value("Last-Modified"));
  pragma_ = raw_headers_.Value("Pragma");

  // Expires is either seconds from now or a date.
  const std::string expires = raw_headers_.Value("Expires");
  if (auto seconds = ParseInt64(expires)) {
    // Clamped to a few thousand years so that no server can make the addition overflow.
    constexpr int64_t kLimit = int64_t{1} << 37;
    seconds = *seconds > kLimit ? kLimit : *seconds < -kLimit ? -kLimit : *seconds;
    expires_ = Now() + std::chrono::seconds{*seconds};
  } else {
    expires_ = ReadDate(expires);
  }
}

}  // namespace mevra::http
