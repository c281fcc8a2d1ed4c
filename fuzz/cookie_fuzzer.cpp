// Stores arbitrary Set-Cookie texts and asks for the cookies of arbitrary targets. The store must
// stay within its bounds, and no Cookie header may carry a control byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/cookie_manager.h"
#include "http/limits.h"
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
      manager.AddCookie2(cookie, host, url);
    } else {
      manager.AddCookie(cookie, host, url);
    }
    rfc2965 = !rfc2965;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (manager.Cookies().Count() > mevra::http::kMaxCookies) __builtin_trap();
  for (const std::string& header :
       {manager.GenerateCookieList(mevra::http::Uri(url), false),
        manager.GenerateCookieList(mevra::http::Uri("http://" + host + "/"), true)}) {
    for (const char c : header) {
      const auto byte = static_cast<unsigned char>(c);
      if ((byte < 0x20 && byte != '\t') || byte == 0x7F) __builtin_trap();
    }
  }
  return 0;
}
