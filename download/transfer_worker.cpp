#include "download/transfer_worker.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <exception>

#include <sys/statvfs.h>

#include "download/download_error.h"
#include "download/limits.h"
#include "download/part_file_stream.h"
#include "download/rate_limiter.h"
#include "download/transfer_failure.h"
#include "http/http_client.h"
#include "http/http_error.h"
#include "http/program_configuration.h"
#include "net/abort_latch.h"
#include "net/net_error.h"

namespace mevra::download {
namespace {

using Clock = std::chrono::steady_clock;

bool IsChunked(const http::HttpClient& client) {
  std::string coding = client.Response().RawHeaders().Value("Transfer-Encoding");
  std::transform(coding.begin(), coding.end(), coding.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return coding.find("chunked") != std::string::npos;
}

// The length of the body in hand as its response announces it; -1 when it does not.
int64_t AnnouncedLength(const http::HttpClient& client) {
  if (IsChunked(client) || !client.Response().HasContentLength()) return -1;
  return client.Response().ContentLength();
}

// Bytes free for this process on the disk that holds `file_path`; -1 when it cannot be told.
int64_t FreeBytesBeside(const std::string& file_path) {
  const size_t slash = file_path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : file_path.substr(0, slash + 1);
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) != 0) return -1;
  return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
}

}  // namespace

TransferWorker::TransferWorker(Request request, ProgressHandler on_progress,
                               FinishHandler on_finish)
    : request_(std::move(request)),
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
  if (request_.limiter) request_.limiter->Wake();
}

void TransferWorker::Run() {
  Result result;
  http::HttpClient client;
  http::ApplyProgramConfiguration(client);
  client.SetAbortLatch(latch_);
  client.SetCaFile(request_.ca_file);
  try {
    PartFileStream file(request_.file_path, request_.resume_from);
    // The file may hold fewer bytes than the caller thought; it is continued where it ends.
    const int64_t resume_from = file.Position();
    if (resume_from > 0) client.Request().SetContentRangeStart(resume_from);
    file.SetRateLimiter(request_.limiter.get(), &aborted_);

    // Decided once the final response is in hand, before its first byte is written: whether
    // the body continues the file or starts it again, and whether the disk has room for it.
    file.OnFirstWrite = [&] {
      const int64_t announced = AnnouncedLength(client);
      int64_t to_come = std::max<int64_t>(announced, 0);
      if (client.ResponseCode() == 206) {
        const http::HttpResponse& response = client.Response();
        if (!response.HasContentRange() || response.ContentRangeStart() != resume_from) {
          throw RangeMismatchError(
              "The server sent \"" + response.RawHeaders().Value("Content-Range") +
              "\" where the bytes from " + std::to_string(resume_from) + " on were asked for.");
        }
        result.complete_length = response.ContentRangeInstanceLength();
        if (result.complete_length >= 0 && request_.expected_length >= 0 &&
            result.complete_length != request_.expected_length) {
          throw RangeMismatchError("The file on the server is " +
                                   std::to_string(result.complete_length) +
                                   " bytes long now; the partial file belongs to one of " +
                                   std::to_string(request_.expected_length) + " bytes.");
        }
        if (result.complete_length < 0 && announced >= 0) {
          result.complete_length = resume_from + announced;
        }
      } else {
        // The whole file comes: what an earlier try left goes.
        if (file.FileBytes() > 0) file.StartAgain();
        result.complete_length = announced;
      }
      if (request_.free_space_margin >= 0) {
        const int64_t free = FreeBytesBeside(request_.file_path);
        if (free >= 0 && free < to_come + request_.free_space_margin) {
          throw NotEnoughSpaceError("Only " + std::to_string(free) +
                                    " bytes are free in the save folder; the file needs " +
                                    std::to_string(to_come) + " bytes and " +
                                    std::to_string(request_.free_space_margin) + " to spare.");
        }
      }
    };

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
      // A continued file counts the bytes it held already.
      const int64_t announced = AnnouncedLength(client);
      const http::HttpResponse& response = client.Response();
      if (client.ResponseCode() == 206 && response.HasContentRange()) {
        progress.bytes_total =
            response.ContentRangeInstanceLength() >= 0
                ? response.ContentRangeInstanceLength()
                : (announced >= 0 ? response.ContentRangeStart() + announced : 0);
      } else {
        progress.bytes_total = std::max<int64_t>(announced, 0);
      }
      progress.work_count_max = work_count_max;
      progress.work_count = 0;
    };
    file.OnPacedPieceWritten = [&] {
      progress.bytes_done = file.FileBytes();
      report(false);
    };
    client.OnWork = [&](net::NetComponent&, net::WorkMode, int32_t work_count) {
      progress.work_count = work_count;
      // The file counts the body alone: a redirect's body never reaches it.
      progress.bytes_done = file.FileBytes();
      report(false);
    };

    client.Get(request_.url, file);
    // A body without a single byte is looked at all the same.
    file.RunFirstWriteCheck();
    progress.bytes_done = file.FileBytes();
    file.Close();
    result.response_text = client.ResponseText();
    report(true);
    result.outcome = Result::Outcome::kComplete;
  } catch (const DiskFullError& error) {
    result.outcome = Result::Outcome::kDiskFull;
    result.message = error.what();
  } catch (const NotEnoughSpaceError& error) {
    result.outcome = Result::Outcome::kNotEnoughSpace;
    result.message = error.what();
  } catch (const net::StreamError& error) {
    result.outcome = Result::Outcome::kFileError;
    result.message = error.what();
  } catch (const RangeMismatchError& error) {
    result.outcome = Result::Outcome::kRangeMismatch;
    result.message = error.what();
  } catch (const http::HttpProtocolError& error) {
    result.outcome = Result::Outcome::kHttpStatus;
    result.message = error.what();
    result.http_code = error.ErrorCode();
    result.transient = IsTransientFailure(error);
    result.retry_after_ms =
        RetryAfterMs(client.Response().RawHeaders().Value("Retry-After"), http::Now());
    result.complete_length = client.Response().ContentRangeInstanceLength();
  } catch (const std::exception& error) {
    result.outcome = Result::Outcome::kTransferError;
    result.message = error.what();
    result.transient = IsTransientFailure(error);
  }
  if (result.response_text.empty()) result.response_text = client.ResponseText();
  // A body cut by the abort may look complete (a body read until the peer closes); it is not.
  if (aborted_) result.outcome = Result::Outcome::kAborted;
  if (on_finish_) on_finish_(result);
}

}  // namespace mevra::download
