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
  has_content_range_ = false;
  content_range_instance_length_ = -1;
  www_authenticate_.clear();
  proxy_authenticate_.clear();
}

void ResponseHeaderInfo::ProcessHeaders() {
  location_ = raw_headers_.Value("Location");
  server_ = raw_headers_.Value("Server");
  proxy_connection_ = raw_headers_.Value("Proxy-Connection");

  // "bytes 0-99/200": start before the "-", end before the "/", the complete length after it
  // ("*" when unknown). "bytes */200" names no range: a 416 tells the complete length that way.
  const std::string range = raw_headers_.Value("Content-Range");
  has_content_range_ = false;
  content_range_instance_length_ = -1;
  if (!range.empty()) {
    const size_t blank = range.find(' ');
    const std::string byte_range = blank == std::string::npos ? "" : Trim(range.substr(blank + 1));
    const size_t slash = byte_range.find('/');
    const std::string span = byte_range.substr(0, slash);
    const std::string complete =
        slash == std::string::npos ? std::string() : Trim(byte_range.substr(slash + 1));
    if (!complete.empty() && complete != "*") {
      content_range_instance_length_ = ReadRangeNumber(complete);
    }
    if (Trim(span) != "*" || slash == std::string::npos) {
      const size_t dash = span.find('-');
      const std::string rest = dash == std::string::npos ? "" : span.substr(dash + 1);
      SetContentRangeStart(ReadRangeNumber(span.substr(0, dash)));
      SetContentRangeEnd(ReadRangeNumber(rest));
      has_content_range_ = true;
    }
  }

  www_authenticate_.clear();
  raw_headers_.ExtractValues("WWW-Authenticate", www_authenticate_);
  proxy_authenticate_.clear();
  raw_headers_.ExtractValues("Proxy-Authenticate", proxy_authenticate_);
  EntityHeaderInfo::ProcessHeaders();
}

}  // namespace mevra::http
