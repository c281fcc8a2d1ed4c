#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mevra::download::testing {

// What the file server answers for one path.
struct ServedFile {
  enum class Framing { kLength, kChunked, kUntilClose };
  std::string body;
  Framing framing = Framing::kLength;
  int status = 200;  // anything else sends `body` as the error page
  // The body stops after this many bytes: held open until the client goes or the server stops
  // (a stalled server), or closed (a body cut by the peer).
  size_t stall_after = std::string::npos;
  size_t close_after = std::string::npos;
  // Pause after every piece of 16 KB, so a transfer lasts a while.
  int piece_pause_ms = 0;
  // "Range: bytes=N-" gets 206 with the rest and its Content-Range, or 416 past the end;
  // otherwise a Range is ignored and the whole body sent with 200.
  bool honour_range = false;
  // Sent instead of the right Content-Range with a 206 (a server that answers another range).
  std::string wrong_content_range{};
  // The first range request gets 206 with only the first half of the rest, honestly said.
  bool short_range_once = false;
  // Sent as the ETag of a 200 or 206; a range asked for with another If-Range gets the whole
  // body with 200, as a file changed since.
  std::string etag{};
  // Sent as the Content-Type when not empty.
  std::string content_type{};
  // Announced instead of the body's length (a body the disk has no room for).
  long long announced_length = -1;
  // The first `fail_first` requests fail: with `fail_status` and `fail_headers`, or, when
  // `fail_status` is 0, by a reset after `fail_after` bytes of the body (by going silent
  // there, held open, when `fail_by_stall`).
  int fail_first = 0;
  int fail_status = 0;
  std::string fail_headers{};
  size_t fail_after = 0;
  bool fail_by_stall = false;
};

// A loopback HTTP server for the download tests: one request per connection, each on a thread
// of its own, answered from the files served by path (404 for anything else).
class FileServer {
 public:
  FileServer();
  ~FileServer();
  FileServer(const FileServer&) = delete;
  FileServer& operator=(const FileServer&) = delete;

  void Serve(const std::string& path, ServedFile file);
  std::string Url(const std::string& path) const;
  // Requests for `path` so far.
  int Requests(const std::string& path) const;
  // The Range header of each request for `path` so far, "" for a request without one.
  std::vector<std::string> Ranges(const std::string& path) const;
  // The If-Range header of each request for `path` so far, "" for a request without one.
  std::vector<std::string> IfRanges(const std::string& path) const;
  // Connections whose client has not gone yet.
  int OpenConnections() const { return open_connections_; }

 private:
  void AcceptLoop();
  void Answer(int descriptor);
  // Sends until done; false once the client has gone or the server stops.
  bool SendAll(int descriptor, const char* bytes, size_t size);
  // Waits until the client goes or the server stops.
  void HoldUntilClientGoes(int descriptor);
  // Makes the coming close a reset, once the client has every byte sent.
  void ResetWhenDelivered(int descriptor);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> open_connections_{0};
  mutable std::mutex mutex_;
  std::map<std::string, ServedFile> files_;
  std::map<std::string, std::vector<std::string>> ranges_;
  std::map<std::string, std::vector<std::string>> if_ranges_;
  std::vector<int> descriptors_;  // open connections, to wake them when the server stops
  std::vector<std::thread> threads_;
  std::thread acceptor_;
};

}  // namespace mevra::download::testing
