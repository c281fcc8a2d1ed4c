// Throughput of a counted body read with ReadToStream over loopback, next to curl fetching the
// same bytes from the same server in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/anti_freeze_base.h"
#include "net/stream.h"
#include "net/tcp_client.h"

namespace {

constexpr int64_t kBodySize = 256LL * 1024 * 1024;

// A small HTTP server: every request on every connection gets the same counted body.
class BodyServer {
 public:
  BodyServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 16);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    piece_.resize(1 << 20);
    for (size_t i = 0; i < piece_.size(); ++i) piece_[i] = static_cast<char>(i * 31);
    std::thread([this] { Accept(); }).detach();
  }
  int Port() const { return port_; }

 private:
  void Accept() {
    for (;;) {
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection < 0) return;
      std::thread([this, connection] { Serve(connection); }).detach();
    }
  }
  void Serve(int connection) {
    std::string request;
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<size_t>(n));
      size_t end;
      while ((end = request.find("\r\n\r\n")) != std::string::npos) {
        request.erase(0, end + 4);
        const std::string head =
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBodySize) + "\r\n\r\n";
        if (!SendAll(connection, head.data(), head.size())) goto done;
        for (int64_t sent = 0; sent < kBodySize; sent += static_cast<int64_t>(piece_.size())) {
          if (!SendAll(connection, piece_.data(), piece_.size())) goto done;
        }
      }
    }
  done:
    ::close(connection);
  }
  static bool SendAll(int connection, const char* bytes, size_t size) {
    while (size > 0) {
      const ssize_t n = ::send(connection, bytes, size, MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  int listener_ = -1;
  int port_ = 0;
  std::vector<char> piece_;
};

BodyServer& Server() {
  static BodyServer server;
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
