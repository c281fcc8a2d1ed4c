// Reads arbitrary lines as a response header block, and folds and unfolds them again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/http_error.h"
#include "http/response_header_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  mevra::http::ResponseHeaderInfo response;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    response.RawHeaders().Add(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  try {
    response.ProcessHeaders();
  } catch (const mevra::http::ConversionError&) {
  }
  (void)mevra::http::ParseInternetDate(text);
  for (const std::string& token : response.RawHeaders().Tokens("Transfer-Encoding")) {
    if (token.empty() || token.find(',') != std::string::npos) __builtin_trap();
  }

  mevra::http::HeaderList list(size % 97 + 1);
  list.SetValue("X-Fuzz", text);
  list.SetValue("Content-Type", response.RawHeaders().Value("Content-Type"));
  const std::string value = list.Value("x-fuzz");
  // Folding may only drop blanks at the breaks, never other bytes.
  size_t letters = 0;
  size_t back = 0;
  for (char c : text) letters += c != ' ' && c != '\t' && c != '\r' && c != '\n';
  for (char c : value) back += c != ' ' && c != '\t' && c != '\r' && c != '\n';
  if (!value.empty() && letters != back) __builtin_trap();
  return 0;
}
