#include "http/response_header_info.h"

#include "http/http_error.h"
#include "http/text_util.h"

namespace mevra::http {

namespace {

int64_t ReadRangeNumber(const std::string& text) {
  const auto value = ParseInt64(Trim(text));
  if (!value) throw ConversionError(text);
  return *value;
}

}  // namespace

void ResponseHeaderInfo::Clear() {
  EntityHeaderInfo::Clear();
  location_.clear();
  server_.clear();
  proxy_connection_.clear();
  www_authenticate_.clear();
  proxy_authenticate_.clear();
}

void ResponseHeaderInfo::ProcessHeaders() {
  location_ = raw_headers_.Value("Location");
  server_ = raw_headers_.Value("Server");
  proxy_connection_ = raw_headers_.Value("Proxy-Connection");

  // "bytes 0-99/200": start before the "-", end before the "/".
  const std::string range = raw_headers_.Value("Content-Range");
  if (!range.empty()) {
    const size_t blank = range.find(' ');
    const std::string byte_range = blank == std::string::npos ? "" : range.substr(blank + 1);
    const size_t dash = byte_range.find('-');
    const std::string rest = dash == std::string::npos ? "" : byte_range.substr(dash + 1);
    SetContentRangeStart(ReadRangeNumber(byte_range.substr(0, dash)));
    SetContentRangeEnd(ReadRangeNumber(rest.substr(0, rest.find('/'))));
  }

  www_authenticate_.clear();
  raw_headers_.ExtractValues("WWW-Authenticate", www_authenticate_);
  proxy_authenticate_.clear();
  raw_headers_.ExtractValues("Proxy-Authenticate", proxy_authenticate_);
  EntityHeaderInfo::ProcessHeaders();
}

}  // namespace mevra::http
