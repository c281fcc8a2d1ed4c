#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mevra::http {

// A URL taken apart into the pieces the HTTP client needs, and put together again. Nothing is
// percent-encoded or decoded: every byte passes through as it came. An IPv6 address, written in
// brackets in a URL, is the host without them.
class Uri {
 public:
  Uri() = default;
  // A non-empty text is parsed at once.
  explicit Uri(const std::string& text);

  // The text last set, as it was set.
  const std::string& URI() const { return uri_; }
  // Stores the text and takes it apart. Parsing never fails; pieces that are missing stay empty.
  void SetURI(const std::string& text);

  // Puts the pieces together again. Throws UriError when the protocol or the host is empty.
  std::string ComposeURI(bool with_credentials = false, bool with_bookmark = false) const;

  // Resolves `path` against `base`: an absolute path replaces it, a relative one is joined to it
  // with ".." segments removed and repeated slashes collapsed.
  static std::string ProcessPath(const std::string& base, const std::string& path,
                                 const std::string& separator = "/");

  // Merges a request URL into this URI, the client's current target: an absolute URL replaces
  // it, with the scheme's default port when it names none; "//host/..." keeps only the scheme; a
  // relative URL keeps scheme, host and port and resolves its path against the previous path
  // ("?x=1" keeps the document too). Credentials stay only while scheme, host and port do, or
  // come with the request. Throws UnknownProtocolError when no port is given and the protocol
  // has no default; the URI is then left as it was.
  void Merge(const Uri& request);

  // The port a protocol means when a URL names none: 80 for http, 443 for https (any case).
  static std::optional<int32_t> DefaultPort(std::string_view protocol);
  // The host as a URL's authority or a Host header writes it: an IPv6 address in brackets.
  static std::string HostForAuthority(const std::string& host);
  // Whether both name the same server: scheme and host alike without regard to case, and the
  // same port, a missing one being the scheme's default.
  static bool SameServer(const Uri& a, const Uri& b);

  const std::string& Protocol() const { return protocol_; }
  const std::string& Username() const { return username_; }
  const std::string& Password() const { return password_; }
  const std::string& Host() const { return host_; }
  const std::string& Port() const { return port_; }
  const std::string& Path() const { return path_; }
  const std::string& Document() const { return document_; }
  const std::string& Params() const { return params_; }
  const std::string& Bookmark() const { return bookmark_; }

  void SetProtocol(std::string value) { protocol_ = std::move(value); }
  void SetUsername(std::string value) { username_ = std::move(value); }
  void SetPassword(std::string value) { password_ = std::move(value); }
  void SetHost(std::string value) { host_ = std::move(value); }
  void SetPort(std::string value) { port_ = std::move(value); }
  void SetPath(std::string value) { path_ = std::move(value); }
  void SetDocument(std::string value) { document_ = std::move(value); }
  void SetParams(std::string value) { params_ = std::move(value); }
  void SetBookmark(std::string value) { bookmark_ = std::move(value); }

 private:
  void SplitRemainder(const std::string& remainder, bool absolute);

  std::string uri_;
  std::string protocol_;
  std::string username_;
  std::string password_;
  std::string host_;
  std::string port_;
  std::string path_;
  std::string document_;
  std::string params_;
  std::string bookmark_;
};

}  // namespace mevra::http
