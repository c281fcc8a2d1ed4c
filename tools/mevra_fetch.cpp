// mevra-fetch [--events] [--stop-at BYTES] [-o FILE] URL [URL ...]
//
// Fetches each URL in order with one HTTP client set up as the program sets up its own, so
// keep-alive, cookies and relative URLs carry over from one URL to the next. Bodies are appended
// to FILE (standard output without -o) as they arrive. Standard error gets one line per event:
// "begin N", "work N", "end" (with --events), "status <status line>" after each fetch, and
// "error <Class>: <message>" when a fetch fails, which ends the run with status 1.
// --stop-at N closes the connection from the work handler the first time a fetch reports N
// bytes or more, as the program's stop button does.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "http/program_configuration.h"
#include "net/net_error.h"
#include "net/stream.h"

namespace {

using mevra::http::HttpClient;
namespace net = mevra::net;

// Standard output as a stream: bytes go out in order as they are written. The client only
// seeks to where it already is and resizes to pre-size or cut back a body, so a size of record
// is all those calls need.
class StdoutStream : public net::Stream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    if (std::fwrite(buffer, 1, static_cast<size_t>(count), stdout) != static_cast<size_t>(count)) {
      throw net::StreamError("Cannot write to standard output.");
    }
    position_ += count;
    size_ = std::max(size_, position_);
    return count;
  }
  int64_t Position() const override { return position_; }
  void Seek(int64_t position) override {
    if (position != position_) throw net::StreamError("Standard output cannot seek.");
  }
  int64_t Size() const override { return size_; }
  void SetSize(int64_t size) override { size_ = std::max(size, position_); }

 private:
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

int Usage() {
  std::fprintf(stderr, "usage: mevra-fetch [--events] [--stop-at BYTES] [-o FILE] URL [URL ...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool events = false;
  long long stop_at = -1;
  std::string output;
  std::vector<std::string> urls;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--events") {
      events = true;
    } else if (arg == "--stop-at" && i + 1 < argc) {
      char* end = nullptr;
      stop_at = std::strtoll(argv[++i], &end, 10);
      if (*end != '\0' || stop_at < 0) return Usage();
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
    std::unique_ptr<net::Stream> stream;
    if (output.empty()) {
      stream = std::make_unique<StdoutStream>();
    } else {
      stream = std::make_unique<net::FileStream>(output, net::FileStream::Mode::kCreate);
    }
    for (const std::string& url : urls) {
      stopped = false;
      client.Get(url, *stream);
      Event("status " + OneLine(client.ResponseText()));
    }
    if (auto* file = dynamic_cast<net::FileStream*>(stream.get())) file->Close();
    if (std::fflush(stdout) != 0) throw net::StreamError("Cannot write to standard output.");
  } catch (const net::NetError& error) {
    Event(std::string("error ") + error.ClassName() + ": " + OneLine(error.what()));
    return 1;
  } catch (const std::exception& error) {
    Event(std::string("error Exception: ") + OneLine(error.what()));
    return 1;
  }
  return 0;
}
