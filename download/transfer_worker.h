#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "download/transfer_progress.h"
#include "http/proxy_rules.h"

namespace mevra::net {
class AbortLatch;
}

namespace mevra::download {

class PartFileStream;
class RateLimiter;
class SpaceAccount;

// One file transfer on a thread of its own: the body of a URL streams into a file through the
// program's HTTP client, so neither the transfer waits for the window nor the window for the
// transfer, and memory stays bounded whatever the file's size. The transport never pumps window
// messages off the main thread, so nothing of the window runs on this thread.
//
// A transfer may continue a partial file: it asks for the bytes after those the file holds
// while the file is still the one they came from (If-Range), appends them when the server sends
// exactly those, and starts the file again when the server sends the whole file instead. A body
// is complete only when the file is as long as the whole file the server announced, and it is
// kept only when it is audio.
//
// Abort may come from any thread at any time: it ends the client's wait at once, also one for
// data that never comes or for the speed limit, and the thread then finishes. A server that
// sends nothing for the stall limit ends the transfer too, as a failure worth another try.
class TransferWorker {
 public:
  struct Request {
    std::string url;
    // Created when missing; its first `resume_from` bytes are continued, the rest cut.
    std::string file_path;
    int64_t resume_from = 0;
    // The complete length of the file the partial bytes belong to; -1 when unknown.
    int64_t expected_length = -1;
    // Free space the body must leave on the file's disk; negative: not looked at.
    int64_t free_space_margin = -1;
    std::shared_ptr<RateLimiter> limiter;
    // Where the body's room is claimed beside the other running transfers'; null: a claim of
    // this transfer's own.
    std::shared_ptr<SpaceAccount> space;
    // An https URL is trusted by the system's authorities and those in this file (empty: none).
    std::string ca_file;
    // The proxies the request goes through; straight by default.
    http::ProxyRules proxy;
    // No byte for this long (ms) fails the transfer as stalled; 0: no limit.
    int64_t stall_timeout_ms = 0;
    // The validator a continued file's bytes came with, sent as If-Range; empty: none.
    std::string if_range;
  };

  // The final response's head, as far as the file cares.
  struct Head {
    int64_t complete_length = -1;  // -1 when the response does not say
    std::string etag;
    std::string last_modified;
    std::string content_type;
  };

  struct Result {
    enum class Outcome {
      kComplete,        // the whole body is in the file
      kAborted,         // Abort ended it, whatever state the body was in
      kFileError,       // the file could not be created or written
      kDiskFull,        // the disk filled up while the body was written
      kNotEnoughSpace,  // the disk has no room for the announced body; nothing was written
      kHttpStatus,      // the server answered with an error status
      kRangeMismatch,   // the server's bytes do not continue the partial file
      kPartLocked,      // another program holds the partial file
      kNotAudio,        // the server sent something other than audio
      kProxyError,      // the proxy could not be reached or would not carry the request
      kTransferError    // any other failure of the exchange
    };
    Outcome outcome = Outcome::kTransferError;
    std::string message;        // the error's text
    std::string response_text;  // the last status line the client read
    int32_t http_code = 0;      // the error status, for kHttpStatus
    // Worth another try later: a connection that dropped, a server that was busy.
    bool transient = false;
    // How long the server asked to wait before the next try, when it said.
    std::optional<int64_t> retry_after_ms;
    // No byte came for the stall limit.
    bool stalled = false;
    // The whole file's length as the last response gave it; -1 when it did not say.
    int64_t complete_length = -1;
    // The final response's Content-Type, for kNotAudio.
    std::string content_type;
  };
  // Every handler runs on the worker's thread; they must hand their news on, not touch the
  // window.
  using ProgressHandler = std::function<void(const TransferProgress& progress)>;
  using FinishHandler = std::function<void(const Result& result)>;
  // Runs once the final response's head is in, before the body's first byte is written (the
  // caller records where the bytes come from); it may throw to refuse the body.
  using HeadHandler = std::function<void(const Head& head)>;
  // Runs with the complete body in the file, still open and locked, so the caller can put it in
  // place before anyone else may touch it. False when it saw `stopped` set before it changed
  // anything; the transfer then counts as aborted.
  using CompleteHandler =
      std::function<bool(PartFileStream& file, const std::atomic<bool>& stopped)>;

  // The file is left as it is whatever the outcome, for the caller to keep, rename or remove,
  // unless the complete handler does that.
  TransferWorker(Request request, ProgressHandler on_progress, FinishHandler on_finish,
                 HeadHandler on_head = nullptr, CompleteHandler on_complete = nullptr);
  // Aborts a transfer still running and waits for its thread.
  ~TransferWorker();
  TransferWorker(const TransferWorker&) = delete;
  TransferWorker& operator=(const TransferWorker&) = delete;

  void Start();
  // Thread-safe; may come before, during or after the transfer.
  // What Abort trips; another exchange on this transfer's thread (a cover, lyrics) ends with
  // it too.
  std::shared_ptr<net::AbortLatch> Latch() const { return latch_; }
  void Abort();

 private:
  void Run();

  Request request_;
  ProgressHandler on_progress_;
  FinishHandler on_finish_;
  HeadHandler on_head_;
  CompleteHandler on_complete_;
  std::shared_ptr<net::AbortLatch> latch_;
  std::atomic<bool> aborted_{false};
  std::thread thread_;
};

}  // namespace mevra::download
