#include "download/transfer_worker.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <exception>

#include "download/limits.h"
#include "http/http_client.h"
#include "http/http_error.h"
#include "http/program_configuration.h"
#include "net/abort_latch.h"
#include "net/net_error.h"
#include "net/stream.h"

namespace mevra::download {
namespace {

using Clock = std::chrono::steady_clock;

bool IsChunked(const http::HttpClient& client) {
  std::string coding = client.Response().RawHeaders().Value("Transfer-Encoding");
  std::transform(coding.begin(), coding.end(), coding.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return coding.find("chunked") != std::string::npos;
}

}  // namespace

TransferWorker::TransferWorker(std::string url, std::string file_path, std::string ca_file,
                               ProgressHandler on_progress, FinishHandler on_finish)
    : url_(std::move(url)),
      file_path_(std::move(file_path)),
      ca_file_(std::move(ca_file)),
      on_progress_(std::move(on_progress)),
      on_finish_(std::move(on_finish)),
      latch_(std::make_shared<net::AbortLatch>()) {}

TransferWorker::~TransferWorker() {
  Abort();
  if (thread_.joinable()) thread_.join();
}

void TransferWorker::Start() {
  thread_ = std::thread([this] { Run(); });
}

void TransferWorker::Abort() {
  aborted_ = true;
  latch_->Trip();
}

void TransferWorker::Run() {
  Result result;
  try {
    net::FileStream file(file_path_, net::FileStream::Mode::kCreate);
    http::HttpClient client;
    http::ApplyProgramConfiguration(client);
    client.SetCaFile(ca_file_);
    client.SetAbortLatch(latch_);

    TransferProgress progress;
    Clock::time_point last_report{};
    // Reports are thinned out here, on the worker, so the window gets a steady trickle however
    // small the transport's blocks are.
    const auto report = [&](bool always) {
      const Clock::time_point now = Clock::now();
      if (!always && now - last_report < std::chrono::milliseconds(kProgressIntervalMs)) return;
      last_report = now;
      if (on_progress_) on_progress_(progress);
    };
    client.OnWorkBegin = [&](net::NetComponent&, net::WorkMode, int32_t work_count_max) {
      // A redirect's or an error's body reports too; the response in hand says which body runs.
      progress.bytes_total =
          IsChunked(client) ? 0 : std::max<int64_t>(client.Response().ContentLength(), 0);
      progress.work_count_max = work_count_max;
      progress.work_count = 0;
    };
    client.OnWork = [&](net::NetComponent&, net::WorkMode, int32_t work_count) {
      progress.work_count = work_count;
      // The file's position counts the body alone: a redirect's body never reaches it.
      progress.bytes_done = std::max<int64_t>(file.Position(), 0);
      report(false);
    };

    try {
      client.Get(url_, file);
      progress.bytes_done = std::max<int64_t>(file.Position(), 0);
      file.Close();
    } catch (...) {
      result.response_text = client.ResponseText();
      throw;
    }
    result.response_text = client.ResponseText();
    report(true);
    result.outcome = Result::Outcome::kComplete;
  } catch (const net::StreamError& error) {
    result.outcome = Result::Outcome::kFileError;
    result.message = error.what();
  } catch (const http::HttpProtocolError& error) {
    result.outcome = Result::Outcome::kHttpStatus;
    result.message = error.what();
  } catch (const std::exception& error) {
    result.outcome = Result::Outcome::kTransferError;
    result.message = error.what();
  }
  // A body cut by the abort may look complete (a body read until the peer closes); it is not.
  if (aborted_) result.outcome = Result::Outcome::kAborted;
  if (on_finish_) on_finish_(result);
}

}  // namespace mevra::download
