// Feeds arbitrary bytes as a server's answer through real loopback connections into the HTTP
// client, set up as the program sets it up: the transport's side of the response path, which
// the in-memory target leaves out. Slow (a connection per request); the parsers are fuzzed by
// the others.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/bounded_text_stream.h"
#include "http/http_client.h"
#include "http/program_configuration.h"
#include "net/net_error.h"
#include "tests/support/scripted_server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static mevra::test::ScriptedServer& server = []() -> mevra::test::ScriptedServer& {
    // Lives as long as the process: libFuzzer ends it with exit(), not by returning.
    auto* created = new mevra::test::ScriptedServer();
    created->SetRecording(false);
    return *created;
  }();
  // Every connection answers its first request with the input, then closes, so that the client
  // never waits for bytes that will not come.
  server.SetDefault(mevra::test::ConnectionScript()
                        .AwaitRequest()
                        .Send(std::string(reinterpret_cast<const char*>(data), size))
                        .Close());

  mevra::http::HttpClient client;
  mevra::http::ApplyProgramConfiguration(client);
  const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
  // Redirects stay on this server: nothing may leave the loopback interface.
  client.OnRedirect = [&](mevra::http::CustomHttpClient&, std::string& location,
                          mevra::http::HttpMethod&, bool&, int32_t) {
    const mevra::http::Uri target(location);
    if (!target.Protocol().empty() || !target.Host().empty()) location = base + "/elsewhere";
  };
  mevra::http::BoundedTextStream body(1 << 20);
  try {
    client.Get(base + "/song.mp3?id=1", body);
    (void)client.ResponseCode();
  } catch (const mevra::net::NetError&) {
  }
  return 0;
}
