// Throughput of a counted body read with ReadToStream over loopback, next to curl fetching the
// same bytes from the same server in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "net/anti_freeze_base.h"
#include "net/stream.h"
#include "net/tcp_client.h"
#include "tests/support/scripted_server.h"

namespace {

constexpr int64_t kBodySize = 256LL * 1024 * 1024;

// Every request for "/" gets the same counted body, on a connection of its own.
mevra::test::ScriptedServer& Server() {
  static mevra::test::ScriptedServer& server = []() -> mevra::test::ScriptedServer& {
    auto* created = new mevra::test::ScriptedServer();
    std::string body(kBodySize, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 31);
    created->Serve("/", "application/octet-stream", std::move(body));
    return *created;
  }();
  return server;
}

// Counts what is written and keeps nothing, as curl's -o /dev/null does.
class NullStream : public mevra::net::Stream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    position_ += count;
    size_ = std::max(size_, position_);
    return count;
  }
  int64_t Position() const override { return position_; }
  void Seek(int64_t position) override { position_ = position; }
  int64_t Size() const override { return size_; }
  void SetSize(int64_t size) override {
    size_ = size;
    position_ = std::min(position_, size_);
  }

 private:
  int64_t position_ = 0;
  int64_t size_ = 0;
};

class NoOpAntiFreeze : public mevra::net::AntiFreezeBase {
 public:
  void PumpMessages() override { ++pumps; }
  int64_t pumps = 0;
};

// One request on a fresh connection; returns the seconds spent in ReadToStream alone.
double FetchOnce(benchmark::State& state) {
  mevra::net::TcpClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(Server().Port());
  client.OpenConnection();
  client.StartWriteBuffering();
  client.WriteLine("GET / HTTP/1.1");
  client.WriteLine("Host: 127.0.0.1");
  client.WriteLine("");
  client.EndWriteBuffering();
  int64_t length = -1;
  for (std::string line = client.ReadLine(); !line.empty(); line = client.ReadLine()) {
    if (line.rfind("Content-Length: ", 0) == 0) length = std::stoll(line.substr(16));
  }
  NullStream stream;
  const auto start = std::chrono::steady_clock::now();
  client.ReadToStream(stream, length);
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  if (stream.Size() != kBodySize) state.SkipWithError("short body");
  client.CloseConnection();
  return spent.count();
}

void BM_ReadToStream(benchmark::State& state) {
  std::unique_ptr<NoOpAntiFreeze> anti_freeze;
  if (state.range(0) != 0) {
    anti_freeze = std::make_unique<NoOpAntiFreeze>();
    anti_freeze->SetOnlyWhenIdle(false);
  }
  for (auto _ : state) state.SetIterationTime(FetchOnce(state));
  state.SetBytesProcessed(state.iterations() * kBodySize);
  if (anti_freeze) state.counters["pumps"] = static_cast<double>(anti_freeze->pumps);
}
BENCHMARK(BM_ReadToStream)
    ->ArgName("anti_freeze")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_Curl(benchmark::State& state) {
  const std::string command =
      "curl -s -o /dev/null http://127.0.0.1:" + std::to_string(Server().Port()) + "/";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(state.iterations() * kBodySize);
}
BENCHMARK(BM_Curl)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
