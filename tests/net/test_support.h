#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/anti_freeze_base.h"
#include "net/net_component.h"
#include "net/tcp_client.h"
#include "tests/net/script_server.h"

namespace mevra::net::testing {

// An anti-freeze whose pump records each call and may run a test's handler, the way a window
// message handler runs in the middle of a transport call.
class RecordingAntiFreeze : public AntiFreezeBase {
 public:
  void PumpMessages() override {
    ++pumps;
    // A copy, so the handler may replace itself.
    if (const std::function<void()> handler = on_pump) handler();
  }
  int pumps = 0;
  std::function<void()> on_pump;
};

// Everything a connection reports, in order, as text: "begin 0 100", "work 0 42", "end 0",
// "status <text>", "disconnected".
struct EventLog {
  std::vector<std::string> entries;

  void Attach(TcpConnection& connection) {
    connection.OnWorkBegin = [this](NetComponent&, WorkMode mode, int32_t max) {
      entries.push_back("begin " + std::to_string(static_cast<int>(mode)) + " " +
                        std::to_string(max));
    };
    connection.OnWork = [this](NetComponent&, WorkMode mode, int32_t count) {
      entries.push_back("work " + std::to_string(static_cast<int>(mode)) + " " +
                        std::to_string(count));
    };
    connection.OnWorkEnd = [this](NetComponent&, WorkMode mode) {
      entries.push_back("end " + std::to_string(static_cast<int>(mode)));
    };
  }
};

inline std::unique_ptr<TcpClient> ConnectTo(int port) {
  auto client = std::make_unique<TcpClient>();
  client->SetHost("127.0.0.1");
  client->SetPort(port);
  client->OpenConnection();
  return client;
}

// Bytes that differ at every position, so a misplaced block shows.
inline std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return bytes;
}

}  // namespace mevra::net::testing
