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

  const size_t scheme_end = work.find("://");
  if (scheme_end != std::string::npos) {
    protocol_ = work.substr(0, scheme_end);
    const std::string rest = work.substr(scheme_end + 3);
    const size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    const std::string remainder = slash == std::string::npos ? "" : rest.substr(slash + 1);

    const size_t at = authority.find('@');
    if (at != std::string::npos) {
      const std::string user_info = authority.substr(0, at);
      authority = authority.substr(at + 1);
      const size_t colon = user_info.find(':');
      username_ = user_info.substr(0, colon);
      if (colon != std::string::npos) password_ = user_info.substr(colon + 1);
      if (username_.empty()) password_.clear();
    }
    const size_t colon = authority.find(':');
    host_ = authority.substr(0, colon);
    if (colon != std::string::npos) port_ = authority.substr(colon + 1);
    SplitRemainder(remainder, true);
  } else {
    SplitRemainder(work, false);
  }

  if (bookmark_.empty()) {
    const size_t hash = params_.find('#');
    if (hash != std::string::npos) {
      bookmark_ = params_.substr(hash + 1);
      params_.resize(hash);
    }
  }
}

void Uri::SplitRemainder(const std::string& remainder, bool absolute) {
  // Parameters start at "?", or at "=" for links that carry them without a question mark.
  size_t query = remainder.find('?');
  if (query == std::string::npos) query = remainder.find('=');
  const size_t slash = query == std::string::npos ? remainder.rfind('/')
                       : query == 0               ? std::string::npos
                                                  : remainder.rfind('/', query - 1);
  const size_t directory_length = slash == std::string::npos ? 0 : slash + 1;

  path_ = remainder.substr(0, directory_length);
  if (absolute) path_ = "/" + path_;
  document_ = remainder.substr(0, query).substr(directory_length);
  if (query != std::string::npos) params_ = remainder.substr(query);

  const size_t hash = document_.find('#');
  if (hash != std::string::npos) {
    bookmark_ = document_.substr(hash + 1);
    document_.resize(hash);
  }
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
  result += host_;
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

void Uri::Merge(const Uri& request) {
  if (!request.username_.empty()) {
    username_ = request.username_;
    password_ = request.password_;
  }
  path_ = ProcessPath(path_, request.path_);
  document_ = request.document_;
  params_ = request.params_;
  if (!request.host_.empty()) host_ = request.host_;
  protocol_ = request.protocol_.empty() ? "http" : request.protocol_;

  if (!request.port_.empty()) {
    port_ = request.port_;
    return;
  }
  // A port of our own choosing follows the protocol; a port someone asked for stays.
  const auto previous = ParseInt32(port_);
  const int32_t previous_port = previous.value_or(0);
  if (previous_port == 0 || previous_port == 80 || previous_port == 443) {
    if (EqualsNoCase(protocol_, "http")) {
      port_ = "80";
    } else if (EqualsNoCase(protocol_, "https")) {
      port_ = "443";
    } else {
      throw UnknownProtocolError();
    }
  }
}

}  // namespace mevra::http
