// Stores arbitrary Set-Cookie texts and asks for the cookies of arbitrary targets.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/cookie_manager.h"
#include "http/uri.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // First line: the host that sets the cookies; second: the URL asked for; then cookie texts.
  size_t first = text.find('\n');
  const std::string host = text.substr(0, first);
  size_t second = first == std::string::npos ? first : text.find('\n', first + 1);
  const std::string url =
      first == std::string::npos ? "" : text.substr(first + 1, second - first - 1);

  mevra::http::CookieManager manager;
  size_t start = second == std::string::npos ? text.size() + 1 : second + 1;
  bool rfc2965 = false;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    const std::string cookie = text.substr(start, end - start);
    if (rfc2965) {
      manager.AddCookie2(cookie, host);
    } else {
      manager.AddCookie(cookie, host);
    }
    rfc2965 = !rfc2965;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  (void)manager.GenerateCookieList(mevra::http::Uri(url), false);
  (void)manager.GenerateCookieList(mevra::http::Uri("http://" + host + "/"), true);
  return 0;
}
