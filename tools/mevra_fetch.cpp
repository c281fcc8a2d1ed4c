// mevra-fetch [--events] [--stop-at BYTES] [--cacert FILE] [--connect-timeout MS]
//             [--read-timeout MS] [--recv-buffer BYTES] [--proxy URL] [-o FILE] URL [URL ...]
//
// Fetches each URL in order with one HTTP client set up as the program sets up its own, so
// keep-alive, cookies and relative URLs carry over from one URL to the next. Bodies are appended
// to FILE (standard output without -o) as they arrive. Standard error gets one line per event:
// "begin N", "work N", "end" (with --events), "status <status line>" after each fetch, and
// "error <Class>: <message>" when a fetch fails, which ends the run with status 1.
// --stop-at N closes the connection from the work handler the first time a fetch reports N
// bytes or more, as the program's stop button does.
// https URLs are verified against the system's trusted certificates and those of --cacert FILE.
// --connect-timeout MS limits the connect and the TLS handshake together (default the
// program's connect limit); --read-timeout MS limits each wait for data (default: none).
// --recv-buffer BYTES sets how much one receive asks for, and so the size of the work events'
// blocks (default the program's 32768), to compare block sizes with other clients.
// --proxy URL sends every request through that proxy (http://, socks5:// or socks5h://, with
// user:password@ when it wants them) except to the hosts of no_proxy; without it the variables
// http_proxy, https_proxy, all_proxy and no_proxy choose, as other command-line clients read
// them. A proxy setting that names no usable proxy is an error before anything is fetched.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "http/program_configuration.h"
#include "http/proxy_rules.h"
#include "net/limits.h"
#include "net/net_error.h"
#include "net/proxy_error.h"
#include "net/stream.h"

namespace {

using mevra::http::HttpClient;
namespace net = mevra::net;

// An output file (or standard output) as a stream: bytes go out in order as they are written,
// so memory holds one block at a time whatever the body's size. The client only seeks to where
// it already is and resizes to pre-size or cut back a body, so a size of record is all those
// calls need; that also keeps character devices such as /dev/null usable, which cannot be
// resized. Blocks go to the descriptor as they come, one write each: a stdio buffer smaller
// than a block would only split it in two writes.
class SequentialOutputStream : public net::Stream {
 public:
  SequentialOutputStream(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {}

  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    const auto* bytes = static_cast<const char*>(buffer);
    for (int64_t done = 0; done < count;) {
      const ssize_t n = ::write(fileno(file_), bytes + done, static_cast<size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw net::StreamError("Cannot write to " + name_ + ".");
      done += n;
    }
    position_ += count;
    size_ = std::max(size_, position_);
    return count;
  }
  int64_t Position() const override { return position_; }
  void Seek(int64_t position) override {
    if (position != position_) throw net::StreamError("Cannot seek in " + name_ + ".");
  }
  int64_t Size() const override { return size_; }
  void SetSize(int64_t size) override { size_ = std::max(size, position_); }

  void Flush() {
    if (std::fflush(file_) != 0) throw net::StreamError("Cannot write to " + name_ + ".");
  }

 private:
  std::FILE* file_;
  std::string name_;
  int64_t position_ = 0;
  int64_t size_ = 0;
};

// CR and LF written as \r and \n so that every event stays on one line.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void Event(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

constexpr char kUsage[] =
    "usage: mevra-fetch [--events] [--stop-at BYTES] [--cacert FILE] [--connect-timeout MS]\n"
    "                   [--read-timeout MS] [--recv-buffer BYTES] [--proxy URL] [-o FILE]\n"
    "                   URL [URL ...]\n"
    "       mevra-fetch --help | --version\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

// A whole number from 1 up to `max`.
bool ParseCount(const char* text, int32_t max, int32_t& count) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value < 1 || value > max) return false;
  count = static_cast<int32_t>(value);
  return true;
}

// A time-out in milliseconds: 1 up to the largest 32-bit count.
bool ParseMilliseconds(const char* text, int32_t& ms) { return ParseCount(text, INT32_MAX, ms); }

}  // namespace

int main(int argc, char** argv) {
  bool events = false;
  long long stop_at = -1;
  std::string output;
  std::string ca_file;
  int32_t connect_timeout = mevra::net::kDefaultConnectTimeLimit;
  int32_t read_timeout = 0;
  int32_t recv_buffer = mevra::net::kRecvBufferSize;
  std::optional<std::string> proxy;
  std::vector<std::string> urls;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("mevra-fetch %s\n", MEVRA_VERSION);
      return 0;
    } else if (arg == "--events") {
      events = true;
    } else if (arg == "--stop-at" && i + 1 < argc) {
      char* end = nullptr;
      stop_at = std::strtoll(argv[++i], &end, 10);
      if (*end != '\0' || stop_at < 0) return Usage();
    } else if (arg == "--cacert" && i + 1 < argc) {
      ca_file = argv[++i];
    } else if (arg == "--connect-timeout" && i + 1 < argc) {
      if (!ParseMilliseconds(argv[++i], connect_timeout)) return Usage();
    } else if (arg == "--read-timeout" && i + 1 < argc) {
      if (!ParseMilliseconds(argv[++i], read_timeout)) return Usage();
    } else if (arg == "--recv-buffer" && i + 1 < argc) {
      if (!ParseCount(argv[++i], mevra::net::kMaxRecvBufferSize, recv_buffer)) return Usage();
    } else if (arg == "--proxy" && i + 1 < argc) {
      proxy = argv[++i];
    } else if (arg == "-o" && i + 1 < argc) {
      output = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      urls.push_back(arg);
    }
  }
  if (urls.empty()) return Usage();

  HttpClient client;
  mevra::http::ApplyProgramConfiguration(client);
  client.SetCaFile(ca_file);
  client.SetConnectTimeout(connect_timeout);
  client.SetReadTimeout(read_timeout);
  client.SetRecvBufferSize(recv_buffer);
  try {
    using mevra::http::ProxyRules;
    client.SetProxy(proxy
                        ? ProxyRules::Fixed(mevra::net::ParseProxyUrl(*proxy),
                                            ProxyRules::NoProxyFromEnvironment(
                                                [](const char* name) -> std::optional<std::string> {
                                                  const char* value = std::getenv(name);
                                                  if (value == nullptr) return std::nullopt;
                                                  return std::string(value);
                                                }))
                        : ProxyRules::FromProcessEnvironment());
  } catch (const net::NetError& error) {
    Event(std::string("error ") + error.ClassName() + ": " + OneLine(error.what()));
    return 1;
  }
  bool stopped = false;
  if (events) {
    client.OnWorkBegin = [](net::NetComponent&, net::WorkMode, int32_t max) {
      Event("begin " + std::to_string(max));
    };
    client.OnWorkEnd = [](net::NetComponent&, net::WorkMode) { Event("end"); };
  }
  client.OnWork = [&](net::NetComponent&, net::WorkMode, int32_t count) {
    if (events) Event("work " + std::to_string(count));
    if (stop_at >= 0 && count >= stop_at && !stopped) {
      stopped = true;
      client.CloseConnection();
    }
  };

  try {
    std::FILE* file = stdout;
    if (!output.empty()) {
      file = std::fopen(output.c_str(), "wb");
      if (file == nullptr) throw net::StreamError("Cannot create " + output + ".");
    }
    SequentialOutputStream stream(file, output.empty() ? "standard output" : output);
    for (const std::string& url : urls) {
      stopped = false;
      client.Get(url, stream);
      Event("status " + OneLine(client.ResponseText()));
    }
    stream.Flush();
    if (file != stdout && std::fclose(file) != 0) {
      throw net::StreamError("Cannot write to " + output + ".");
    }
  } catch (const net::NetError& error) {
    Event(std::string("error ") + error.ClassName() + ": " + OneLine(error.what()));
    return 1;
  } catch (const std::exception& error) {
    Event(std::string("error Exception: ") + OneLine(error.what()));
    return 1;
  }
  return 0;
}
