#include "http/uri.h"

#include <algorithm>

#include "http/http_error.h"
#include "http/text_util.h"

namespace mevra::http {

Uri::Uri(const std::string& text) {
  if (!text.empty()) SetURI(text);
}

void Uri::SetURI(const std::string& text) {
  uri_ = text;
  // Backslashes typed as path separators are read as slashes. In UTF-8 no byte of a multi-byte
  // character is 0x5C, so every backslash byte is a real one.
  std::string work = text;
  std::replace(work.begin(), work.end(), '\\', '/');

  protocol_.clear();
  username_.clear();
  password_.clear();
  host_.clear();
  port_.clear();
  path_.clear();
  document_.clear();
  params_.clear();
  bookmark_.clear();

  // "scheme://authority..." or a network-path reference "//authority..." that keeps the scheme.
  const size_t scheme_end = work.find("://");
  size_t authority_start = std::string::npos;
  if (scheme_end != std::string::npos) {
    protocol_ = work.substr(0, scheme_end);
    authority_start = scheme_end + 3;
  } else if (work.size() > 2 && work.compare(0, 2, "//") == 0 && work[2] != '/') {
    authority_start = 2;
  }
  if (authority_start == std::string::npos) {
    SplitRemainder(work, false);
  } else {
    // The authority ends where the path, the query or the fragment begins.
    const size_t authority_end = std::min(work.find_first_of("/?#", authority_start), work.size());
    std::string authority = work.substr(authority_start, authority_end - authority_start);
    std::string remainder = work.substr(authority_end);
    if (!remainder.empty() && remainder[0] == '/') remainder.erase(0, 1);

    const size_t at = authority.find('@');
    if (at != std::string::npos) {
      const std::string user_info = authority.substr(0, at);
      authority = authority.substr(at + 1);
      const size_t colon = user_info.find(':');
      username_ = user_info.substr(0, colon);
      if (colon != std::string::npos) password_ = user_info.substr(colon + 1);
      if (username_.empty()) password_.clear();
    }
    // An IPv6 address stands in brackets, its colons no port's; the host is kept without them.
    const size_t close = authority.starts_with('[') ? authority.find(']') : std::string::npos;
    if (close != std::string::npos) {
      host_ = authority.substr(1, close - 1);
      const std::string rest = authority.substr(close + 1);
      // Whatever follows other than ":port" stays for the port, which then fails to read.
      port_ = rest.starts_with(':') ? rest.substr(1) : rest;
    } else {
      const size_t colon = authority.find(':');
      host_ = authority.substr(0, colon);
      if (colon != std::string::npos) port_ = authority.substr(colon + 1);
    }
    SplitRemainder(remainder, true);
  }
}

void Uri::SplitRemainder(const std::string& remainder, bool absolute) {
  // The fragment goes first: nothing in it belongs to the path or the parameters.
  const size_t hash = remainder.find('#');
  if (hash != std::string::npos) bookmark_ = remainder.substr(hash + 1);
  const std::string rest = remainder.substr(0, hash);

  // Parameters start at "?", or at "=" for links that carry them without a question mark.
  size_t query = rest.find('?');
  if (query == std::string::npos) query = rest.find('=');
  const size_t slash = query == std::string::npos ? rest.rfind('/')
                       : query == 0               ? std::string::npos
                                                  : rest.rfind('/', query - 1);
  const size_t directory_length = slash == std::string::npos ? 0 : slash + 1;

  path_ = rest.substr(0, directory_length);
  if (absolute) path_ = "/" + path_;
  document_ = rest.substr(0, query).substr(directory_length);
  if (query != std::string::npos) params_ = rest.substr(query);
}

std::string Uri::ComposeURI(bool with_credentials, bool with_bookmark) const {
  if (protocol_.empty()) throw UriError("Protocol field is empty");
  std::string result = protocol_ + "://";
  if (with_credentials && !username_.empty()) {
    result += username_;
    if (!password_.empty()) result += ":" + password_;
    result += "@";
  }
  if (host_.empty()) throw UriError("Host field is empty");
  result += HostForAuthority(host_);
  if (!port_.empty()) result += ":" + port_;
  result += path_ + document_ + params_;
  if (with_bookmark && !bookmark_.empty()) result += "#" + bookmark_;
  return result;
}

std::string Uri::ProcessPath(const std::string& base, const std::string& path,
                             const std::string& separator) {
  const char sep = separator.empty() ? '/' : separator[0];
  if (!path.empty() && path[0] == sep) return path;

  const bool keep_trailing = path.empty() || path.back() == sep;
  std::string joined = base;
  if (!joined.empty() && joined.back() != sep) joined += sep;
  joined += path;

  std::string result;
  for (size_t i = 0; i < joined.size(); ++i) {
    const char c = joined[i];
    if (c == sep) {
      if (i == 0) {
        result = std::string(1, sep);
      } else if (result.empty() || result.back() != sep) {
        result += sep;
      }
    } else if (c == '.' && !result.empty() && result.back() == sep && i + 1 < joined.size() &&
               joined[i + 1] == '.') {
      // "..": drop the last segment, keeping the separator before it.
      result.pop_back();
      while (!result.empty() && result.back() != sep) result.pop_back();
      ++i;
    } else {
      result += c;
    }
  }
  if (result.size() > 1 && result.back() == sep && !keep_trailing) result.pop_back();
  return result;
}

std::string Uri::HostForAuthority(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

bool Uri::SameServer(const Uri& a, const Uri& b) {
  const auto port = [](const Uri& uri) {
    if (!uri.port_.empty()) return uri.port_;
    const auto known = DefaultPort(uri.protocol_);
    return known ? std::to_string(*known) : std::string();
  };
  return EqualsNoCase(a.protocol_, b.protocol_) && EqualsNoCase(a.host_, b.host_) &&
         port(a) == port(b);
}

std::optional<int32_t> Uri::DefaultPort(std::string_view protocol) {
  if (EqualsNoCase(protocol, "http")) return 80;
  if (EqualsNoCase(protocol, "https")) return 443;
  return std::nullopt;
}

void Uri::Merge(const Uri& request) {
  // Merged into a copy, so that a reference that cannot be merged leaves the target as it was.
  Uri merged = *this;
  if (!request.username_.empty()) {
    merged.username_ = request.username_;
    merged.password_ = request.password_;
  }
  if (!request.protocol_.empty() || !request.host_.empty()) {
    // An absolute URL, or a network-path reference "//host/..." that keeps the scheme. Without a
    // port it means the scheme's default port, whatever port the previous request used.
    if (!request.protocol_.empty()) merged.protocol_ = request.protocol_;
    if (merged.protocol_.empty()) merged.protocol_ = "http";
    if (!request.host_.empty()) merged.host_ = request.host_;
    merged.port_ = request.port_;
    merged.path_ = ProcessPath(path_, request.path_);
    merged.document_ = request.document_;
    merged.params_ = request.params_;
  } else {
    // A relative reference keeps scheme, host and port. Without a path it names the same
    // document: "?page=2" replaces only the parameters, "" or "#part" keeps them too.
    if (merged.protocol_.empty()) merged.protocol_ = "http";
    if (!request.path_.empty() || !request.document_.empty()) {
      merged.path_ = ProcessPath(path_, request.path_);
      merged.document_ = request.document_;
      merged.params_ = request.params_;
    } else if (!request.params_.empty()) {
      merged.params_ = request.params_;
    }
  }
  if (merged.port_.empty()) {
    const auto port = DefaultPort(merged.protocol_);
    if (!port) throw UnknownProtocolError();
    merged.port_ = std::to_string(*port);
  }
  // Credentials belong to the server they were given for: a target of another scheme, host or
  // port goes without them unless its own URL brings some.
  if (request.username_.empty() && !SameServer(*this, merged)) {
    merged.username_.clear();
    merged.password_.clear();
  }
  merged.uri_ = uri_;
  *this = std::move(merged);
}

}  // namespace mevra::http
