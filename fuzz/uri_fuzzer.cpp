// Takes arbitrary text apart as a URL, composes it again and merges it into a target. A merge
// that fails must leave the target as it was, and the text made fit for the wire must hold no
// byte that could break a request line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/http_error.h"
#include "http/text_util.h"
#include "http/uri.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const size_t cut = text.find('\n');
  const std::string first = text.substr(0, cut);
  const std::string second = cut == std::string::npos ? "" : text.substr(cut + 1);

  mevra::http::Uri uri(first);
  try {
    (void)uri.ComposeURI(true, true);
  } catch (const mevra::http::UriError&) {
  }
  (void)mevra::http::Uri::ProcessPath(first, second);

  mevra::http::Uri target("http://127.0.0.1/a/b/");
  for (const std::string& reference : {first, second}) {
    const mevra::http::Uri before = target;
    try {
      target.Merge(mevra::http::Uri(reference));
    } catch (const mevra::http::UnknownProtocolError&) {
      if (target.Protocol() != before.Protocol() || target.Host() != before.Host() ||
          target.Port() != before.Port() || target.Path() != before.Path() ||
          target.Document() != before.Document() || target.Params() != before.Params()) {
        __builtin_trap();
      }
    }
  }

  for (const char c :
       mevra::http::PercentEncodeForWire(target.Path() + target.Document() + target.Params())) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) __builtin_trap();
  }
  return 0;
}
