#pragma once

#include <string>

#include "http/entity_header_info.h"

namespace mevra::http {

// The header fields of a response on top of the entity fields.
class ResponseHeaderInfo : public EntityHeaderInfo {
 public:
  ResponseHeaderInfo() { Clear(); }

  void Clear() override;
  // Throws ConversionError when a "Content-Range" carries a start, an end or a complete length
  // that is no number.
  void ProcessHeaders() override;

  // Whether the response carries a satisfied "Content-Range" (start and end in
  // ContentRangeStart and ContentRangeEnd). "bytes */1234", sent with 416, is none.
  bool HasContentRange() const { return has_content_range_; }
  // The complete length after the "/" of a "Content-Range"; -1 when absent or "*".
  int64_t ContentRangeInstanceLength() const { return content_range_instance_length_; }

  const std::string& Location() const { return location_; }
  void SetLocation(std::string value) { location_ = std::move(value); }
  const std::string& Server() const { return server_; }
  void SetServer(std::string value) { server_ = std::move(value); }
  const std::string& ProxyConnection() const { return proxy_connection_; }
  void SetProxyConnection(std::string value) { proxy_connection_ = std::move(value); }
  const std::vector<std::string>& WWWAuthenticate() const { return www_authenticate_; }
  const std::vector<std::string>& ProxyAuthenticate() const { return proxy_authenticate_; }

 private:
  std::string location_;
  std::string server_;
  std::string proxy_connection_;
  bool has_content_range_ = false;
  int64_t content_range_instance_length_ = -1;
  std::vector<std::string> www_authenticate_;
  std::vector<std::string> proxy_authenticate_;
};

}  // namespace mevra::http
