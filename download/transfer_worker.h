#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "download/transfer_progress.h"

namespace mevra::net {
class AbortLatch;
}

namespace mevra::download {

// One file transfer on a thread of its own: the body of a URL streams into a file through the
// program's HTTP client, so neither the transfer waits for the window nor the window for the
// transfer, and memory stays bounded whatever the file's size. The transport never pumps window
// messages off the main thread, so nothing of the window runs on this thread.
//
// Abort may come from any thread at any time: it ends the client's wait at once, also one for
// data that never comes, and the thread then finishes.
class TransferWorker {
 public:
  struct Result {
    enum class Outcome {
      kComplete,      // the whole body is in the file
      kAborted,       // Abort ended it, whatever state the body was in
      kFileError,     // the file could not be created or written
      kHttpStatus,    // the server answered with an error status
      kTransferError  // any other failure of the exchange
    };
    Outcome outcome = Outcome::kTransferError;
    std::string message;        // the error's text
    std::string response_text;  // the last status line the client read
  };
  // Both run on the worker's thread; they must hand their news on, not touch the window.
  using ProgressHandler = std::function<void(const TransferProgress& progress)>;
  using FinishHandler = std::function<void(const Result& result)>;

  // The file at `file_path` is created (or truncated) and holds the body as it arrives; it is
  // left as it is whatever the outcome, for the caller to keep, rename or remove. An https URL
  // is trusted by the system's authorities and those in `ca_file` (empty for none).
  TransferWorker(std::string url, std::string file_path, std::string ca_file,
                 ProgressHandler on_progress, FinishHandler on_finish);
  // Aborts a transfer still running and waits for its thread.
  ~TransferWorker();
  TransferWorker(const TransferWorker&) = delete;
  TransferWorker& operator=(const TransferWorker&) = delete;

  void Start();
  // Thread-safe; may come before, during or after the transfer.
  void Abort();

 private:
  void Run();

  std::string url_;
  std::string file_path_;
  std::string ca_file_;
  ProgressHandler on_progress_;
  FinishHandler on_finish_;
  std::shared_ptr<net::AbortLatch> latch_;
  std::atomic<bool> aborted_{false};
  std::thread thread_;
};

}  // namespace mevra::download
