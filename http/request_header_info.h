#pragma once

#include <string>

#include "http/entity_header_info.h"

namespace mevra::http {

// The header fields of a request on top of the entity fields.
class RequestHeaderInfo : public EntityHeaderInfo {
 public:
  // Request headers go out unfolded: folded lines are obsolete, and strict servers answer them
  // with 400.
  RequestHeaderInfo() {
    raw_headers_.SetFoldLines(false);
    CustomHeaders().SetFoldLines(false);
    Clear();
  }

  void Clear() override;
  // Entity headers first, then the request's own, in the order servers are used to see them.
  void SetHeaders() override;

  const std::string& ProxyConnection() const { return proxy_connection_; }
  void SetProxyConnection(std::string value) { proxy_connection_ = std::move(value); }
  const std::string& Host() const { return host_; }
  void SetHost(std::string value) { host_ = std::move(value); }
  const std::string& Accept() const { return accept_; }
  void SetAccept(std::string value) { accept_ = std::move(value); }
  const std::string& AcceptCharSet() const { return accept_charset_; }
  void SetAcceptCharSet(std::string value) { accept_charset_ = std::move(value); }
  const std::string& AcceptEncoding() const { return accept_encoding_; }
  void SetAcceptEncoding(std::string value) { accept_encoding_ = std::move(value); }
  const std::string& AcceptLanguage() const { return accept_language_; }
  void SetAcceptLanguage(std::string value) { accept_language_ = std::move(value); }
  const std::string& From() const { return from_; }
  void SetFrom(std::string value) { from_ = std::move(value); }
  const std::string& Referer() const { return referer_; }
  void SetReferer(std::string value) { referer_ = std::move(value); }
  const std::string& UserAgent() const { return user_agent_; }
  void SetUserAgent(std::string value) { user_agent_ = std::move(value); }
  bool BasicAuthentication() const { return basic_authentication_; }
  void SetBasicAuthentication(bool value) { basic_authentication_ = value; }
  const std::string& Username() const { return username_; }
  void SetUsername(std::string value) { username_ = std::move(value); }
  const std::string& Password() const { return password_; }
  void SetPassword(std::string value) { password_ = std::move(value); }

 private:
  std::string proxy_connection_;
  std::string host_;
  std::string accept_;
  std::string accept_charset_;
  std::string accept_encoding_;
  std::string accept_language_;
  std::string from_;
  std::string referer_;
  std::string user_agent_;
  bool basic_authentication_ = false;
  std::string username_;
  std::string password_;
};

}  // namespace mevra::http
