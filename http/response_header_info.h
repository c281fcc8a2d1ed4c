#pragma once

#include <string>

#include "http/entity_header_info.h"

namespace mevra::http {

// The header fields of a response on top of the entity fields.
class ResponseHeaderInfo : public EntityHeaderInfo {
 public:
  ResponseHeaderInfo() { Clear(); }

  void Clear() override;
  // Throws ConversionError when a "Content-Range" carries a start or end that is no number.
  void ProcessHeaders() override;

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
  std::vector<std::string> www_authenticate_;
  std::vector<std::string> proxy_authenticate_;
};

}  // namespace mevra::http
