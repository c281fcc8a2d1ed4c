// Feeds arbitrary bytes as a server's answers into the HTTP client, set up as the program sets
// it up, through an I/O handler in memory: status lines, header blocks, framing, redirects and
// cookies at parser speed. Whatever the answers say, nothing the client sends may carry a
// control byte other than TAB and the line ends of its request heads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/memory_io_handler.h"
#include "http/bounded_text_stream.h"
#include "http/http_client.h"
#include "http/program_configuration.h"
#include "net/net_error.h"

namespace {

bool OnlyCleanLines(const std::string& sent) {
  for (size_t i = 0; i < sent.size(); ++i) {
    const auto byte = static_cast<unsigned char>(sent[i]);
    if (byte == '\r' && i + 1 < sent.size() && sent[i + 1] == '\n') {
      ++i;
    } else if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input's size picks how it is cut into receives, so line and block readers meet every
  // kind of split.
  static constexpr size_t kPieces[] = {1 << 20, 1, 7, 300};
  auto handler = std::make_shared<mevra::fuzz::MemoryIoHandler>(
      std::string(reinterpret_cast<const char*>(data), size), kPieces[size % 4]);

  mevra::http::HttpClient client;
  mevra::http::ApplyProgramConfiguration(client);
  client.SetIOHandler(handler);
  // A second Get on the same client reads on in the input, after keep-alive and cookies.
  for (const char* url : {"http://127.0.0.1:18082/music/song.mp3?id=1", "next.mp3"}) {
    mevra::http::BoundedTextStream body(1 << 20);
    try {
      client.Get(url, body);
    } catch (const mevra::net::NetError&) {
    }
    (void)client.ResponseCode();
  }
  if (!OnlyCleanLines(handler->Sent())) __builtin_trap();
  return 0;
}
