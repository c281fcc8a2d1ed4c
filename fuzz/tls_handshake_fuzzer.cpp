// Feeds arbitrary bytes as a server's answer to the client's TLS hello, through a real loopback
// connection, into the HTTP client's https path: the TLS handler's handshake loop and the
// mapping of every way it can fail onto the transport's errors. Whatever comes, the Get must end
// with one of the NetError family, within the connect limit, and send nothing of its request.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "http/bounded_text_stream.h"
#include "http/http_client.h"
#include "http/program_configuration.h"
#include "net/net_error.h"
#include "net/tls_context.h"
#include "tests/support/scripted_server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static mevra::test::ScriptedServer& server = []() -> mevra::test::ScriptedServer& {
    // Lives as long as the process: libFuzzer ends it with exit(), not by returning.
    auto* created = new mevra::test::ScriptedServer();
    created->SetRecording(false);
    return *created;
  }();
  // The client's hello starts with a handshake record; the answer follows, then the close.
  server.SetDefault(mevra::test::ConnectionScript()
                        .AwaitText("\x16\x03")
                        .Send(std::string(reinterpret_cast<const char*>(data), size))
                        .Close());

  // One context for all runs: loading the system's trusted certificates each time would cost
  // more than the run.
  static const auto context = std::make_shared<mevra::net::TlsContext>();
  mevra::http::HttpClient client;
  mevra::http::ApplyProgramConfiguration(client);
  client.SetTlsContext(context);
  client.SetConnectTimeout(2000);
  mevra::http::BoundedTextStream body(1 << 20);
  try {
    client.Get("https://127.0.0.1:" + std::to_string(server.Port()) + "/song.mp3", body);
    // No certificate made up by the input can be trusted.
    __builtin_trap();
  } catch (const mevra::net::NetError&) {
  }
  return 0;
}
