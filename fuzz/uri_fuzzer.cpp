// Takes arbitrary text apart as a URL, composes it again and merges it into a target.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/http_error.h"
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
  try {
    target.Merge(uri);
    target.Merge(mevra::http::Uri(second));
  } catch (const mevra::http::UnknownProtocolError&) {
  }
  return 0;
}
