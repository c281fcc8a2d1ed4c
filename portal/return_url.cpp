#include "portal/return_url.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "portal/limits.h"

namespace mevra::portal {
namespace {

bool IsLoopbackName(std::string_view host) {
  std::string lower(host);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "127.0.0.1" || lower == "localhost" || lower == "[::1]";
}

}  // namespace

bool IsSafeReturnUrl(std::string_view url, bool tls) {
  const std::string_view kScheme = tls ? "https://" : "http://";
  if (url.size() > kMaxReturnUrlLength || !url.starts_with(kScheme)) return false;
  // Control characters could split the response head; blanks and backslashes are read
  // differently by different browsers.
  for (char c : url) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '\\') return false;
  }
  std::string_view rest = url.substr(kScheme.size());
  const size_t end = rest.find_first_of("/?#");
  const std::string_view authority = rest.substr(0, end);
  if (authority.find('@') != std::string_view::npos) return false;  // user info hides the host
  // An IPv6 address stands in brackets, its colons no port's.
  const size_t host_end = authority.starts_with('[') ? authority.find(']') : 0;
  if (host_end == std::string_view::npos) return false;
  const size_t colon = authority.find(':', host_end);
  if (host_end > 0 && host_end + 1 != std::min(colon, authority.size())) return false;
  const std::string_view host = authority.substr(0, colon);
  if (colon != std::string_view::npos) {
    const std::string_view port = authority.substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
    if (std::stoi(std::string(port)) > 65535) return false;
  }
  return IsLoopbackName(host);
}

}  // namespace mevra::portal
