#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/anti_freeze_base.h"
#include "net/tcp_client.h"

namespace mevra::net::testing {

// An anti-freeze whose pump counts its calls and may run a test's handler, the way a window
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

// Work events as text: "begin <mode> <max>", "work <mode> <count>", "end <mode>".
struct WorkLog {
  std::vector<std::string> entries;
  explicit WorkLog(NetComponent& component) {
    const auto add = [this](std::string text) { entries.push_back(std::move(text)); };
    component.OnWorkBegin = [add](NetComponent&, WorkMode m, int32_t n) {
      add("begin " + std::to_string(static_cast<int>(m)) + " " + std::to_string(n));
    };
    component.OnWork = [add](NetComponent&, WorkMode m, int32_t n) {
      add("work " + std::to_string(static_cast<int>(m)) + " " + std::to_string(n));
    };
    component.OnWorkEnd = [add](NetComponent&, WorkMode m) {
      add("end " + std::to_string(static_cast<int>(m)));
    };
  }
};

inline std::unique_ptr<TcpClient> ConnectTo(int port, const std::string& host = "127.0.0.1") {
  auto client = std::make_unique<TcpClient>();
  client->SetHost(host);
  client->SetPort(port);
  client->OpenConnection();
  return client;
}

// Bytes that differ from their neighbours, so a misplaced block shows.
inline std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return bytes;
}

}  // namespace mevra::net::testing
