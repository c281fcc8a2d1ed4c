#include "http/request_header_info.h"

namespace mevra::http {

namespace {

std::string Base64(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const auto n = (static_cast<unsigned char>(bytes[i]) << 16) |
                   (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                   static_cast<unsigned char>(bytes[i + 2]);
    out += {kAlphabet[(n >> 18) & 63], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63],
            kAlphabet[n & 63]};
  }
  if (i + 1 == bytes.size()) {
    const auto n = static_cast<unsigned char>(bytes[i]) << 16;
    out += {kAlphabet[(n >> 18) & 63], kAlphabet[(n >> 12) & 63], '=', '='};
  } else if (i + 2 == bytes.size()) {
    const auto n = (static_cast<unsigned char>(bytes[i]) << 16) |
                   (static_cast<unsigned char>(bytes[i + 1]) << 8);
    out += {kAlphabet[(n >> 18) & 63], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63], '='};
  }
  return out;
}

}  // namespace

void RequestHeaderInfo::Clear() {
  EntityHeaderInfo::Clear();
  proxy_connection_.clear();
  host_.clear();
  accept_.clear();
  accept_charset_.clear();
  accept_encoding_.clear();
  accept_language_.clear();
  from_.clear();
  referer_.clear();
  user_agent_.clear();
  basic_authentication_ = false;
  username_.clear();
  password_.clear();
}

void RequestHeaderInfo::SetHeaders() {
  EntityHeaderInfo::SetHeaders();
  raw_headers_.SetValue("Proxy-Connection", proxy_connection_);
  raw_headers_.SetValue("Host", host_);
  raw_headers_.SetValue("Accept", accept_);
  raw_headers_.SetValue("Accept-Charset", accept_charset_);
  raw_headers_.SetValue("Accept-Encoding", accept_encoding_);
  raw_headers_.SetValue("Accept-Language", accept_language_);
  raw_headers_.SetValue("From", from_);
  raw_headers_.SetValue("Referer", referer_);
  raw_headers_.SetValue("User-Agent", user_agent_);
  if (LastModified() > DateTime{}) {
    raw_headers_.SetValue("If-Modified-Since", FormatInternetDate(LastModified()));
  }
  if (ContentRangeStart() != 0 || ContentRangeEnd() != 0) {
    std::string range = "bytes=" + std::to_string(ContentRangeStart()) + "-";
    if (ContentRangeEnd() != 0) range += std::to_string(ContentRangeEnd());
    raw_headers_.SetValue("Range", range);
  }
  if (basic_authentication_) {
    raw_headers_.SetValue("Authorization", "Basic " + Base64(username_ + ":" + password_));
  }
}

}  // namespace mevra::http
