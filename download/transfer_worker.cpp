#include "download/transfer_worker.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <exception>
#include <limits>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include "download/audio_check.h"
#include "download/download_error.h"
#include "download/limits.h"
#include "download/part_file_stream.h"
#include "download/rate_limiter.h"
#include "download/space_account.h"
#include "download/transfer_failure.h"
#include "http/http_client.h"
#include "http/http_error.h"
#include "http/program_configuration.h"
#include "net/abort_latch.h"
#include "net/net_error.h"
#include "net/proxy_error.h"

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

// Bytes free for this process on the disk that holds `file_path` and that disk's device; free
// is -1 when it cannot be told.
struct DiskRoom {
  int64_t free = -1;
  uint64_t device = 0;
};
DiskRoom RoomBeside(const std::string& file_path) {
  const size_t slash = file_path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : file_path.substr(0, slash + 1);
  struct statvfs info {};
  struct stat where {};
  if (::statvfs(folder.c_str(), &info) != 0 || ::stat(folder.c_str(), &where) != 0) return {};
  return {static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize),
          static_cast<uint64_t>(where.st_dev)};
}

// Gives the claim up when the transfer ends, however it ends.
class SpaceClaim {
 public:
  explicit SpaceClaim(std::shared_ptr<SpaceAccount> account) : account_(std::move(account)) {}
  ~SpaceClaim() {
    if (ticket_ != 0) account_->Release(ticket_);
  }
  SpaceClaim(const SpaceClaim&) = delete;
  SpaceClaim& operator=(const SpaceClaim&) = delete;

  SpaceAccount& Account() { return *account_; }
  void Hold(SpaceAccount::Ticket ticket) {
    if (ticket_ != 0) account_->Release(ticket_);
    ticket_ = ticket;
  }
  void Update(int64_t bytes_left) {
    if (ticket_ != 0) account_->Update(ticket_, bytes_left);
  }

 private:
  std::shared_ptr<SpaceAccount> account_;
  SpaceAccount::Ticket ticket_ = 0;
};

}  // namespace

TransferWorker::TransferWorker(Request request, ProgressHandler on_progress,
                               FinishHandler on_finish, HeadHandler on_head,
                               CompleteHandler on_complete)
    : request_(std::move(request)),
      on_progress_(std::move(on_progress)),
      on_finish_(std::move(on_finish)),
      on_head_(std::move(on_head)),
      on_complete_(std::move(on_complete)),
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
  client.SetProxy(request_.proxy);
  // The read time-out is the stall limit: it counts from the last byte that came.
  if (request_.stall_timeout_ms > 0) {
    client.SetReadTimeout(static_cast<int32_t>(
        std::min<int64_t>(request_.stall_timeout_ms, std::numeric_limits<int32_t>::max())));
  }
  SpaceClaim space(request_.space ? request_.space : std::make_shared<SpaceAccount>());
  try {
    PartFileStream file(request_.file_path, request_.resume_from);
    // The file may hold fewer bytes than the caller thought; it is continued where it ends.
    const int64_t resume_from = file.Position();
    if (resume_from > 0) {
      client.Request().SetContentRangeStart(resume_from);
      // A file changed on the server since answers with all of its new bytes instead.
      if (!request_.if_range.empty()) {
        client.Request().CustomHeaders().SetValue("If-Range", request_.if_range);
      }
    }
    file.SetRateLimiter(request_.limiter.get(), &aborted_);
    // Where the body's bytes begin in the file, and how many of them are announced.
    int64_t body_start = 0;
    int64_t to_come = 0;

    // Decided once the final response is in hand, before its first byte is written: whether
    // it is audio at all, whether the body continues the file or starts it again, and whether
    // the disk has room for it.
    file.OnFirstWrite = [&] {
      const http::HttpResponse& response = client.Response();
      Head head;
      head.content_type = response.ContentType();
      head.etag = response.RawHeaders().Value("ETag");
      head.last_modified = response.RawHeaders().Value("Last-Modified");
      result.content_type = head.content_type;
      if (IsNonAudioContentType(head.content_type)) {
        throw NotAudioError("The server sent \"" + head.content_type + "\" instead of audio.");
      }
      const int64_t announced = AnnouncedLength(client);
      to_come = std::max<int64_t>(announced, 0);
      if (client.ResponseCode() == 206) {
        if (!response.HasContentRange() || response.ContentRangeStart() != resume_from) {
          throw RangeMismatchError(
              "The server sent \"" + response.RawHeaders().Value("Content-Range") +
              "\" where the bytes from " + std::to_string(resume_from) + " on were asked for.");
        }
        // A server that ignored If-Range gives itself away by its ETag.
        if (!head.etag.empty() && request_.if_range.starts_with('"') &&
            head.etag != request_.if_range) {
          throw RangeMismatchError("The server sent the rest of " + head.etag +
                                   " for a partial file of " + request_.if_range + ".");
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
        body_start = resume_from;
      } else {
        // The whole file comes: what an earlier try left goes.
        if (file.FileBytes() > 0) file.StartAgain();
        result.complete_length = announced;
      }
      if (request_.free_space_margin >= 0) {
        const DiskRoom room = RoomBeside(request_.file_path);
        if (room.free >= 0) {
          int64_t others = 0;
          const SpaceAccount::Ticket ticket = space.Account().Claim(
              room.device, to_come, room.free, request_.free_space_margin, &others);
          if (ticket == 0) {
            throw NotEnoughSpaceError(
                "Only " + std::to_string(room.free) + " bytes are free in the save folder; " +
                std::to_string(others) + " are promised to other songs, the file needs " +
                std::to_string(to_come) + " bytes and " +
                std::to_string(request_.free_space_margin) + " to spare.");
          }
          space.Hold(ticket);
        }
      }
      head.complete_length = result.complete_length;
      if (on_head_) on_head_(head);
    };
    // A body that begins like no MP3 file is no song, whatever its type said.
    file.SetFirstBytesCheck(kAudioSniffBytes, [&](std::string_view first_bytes) {
      if (!StartsLikeAudio(first_bytes)) {
        throw NotAudioError("The bytes the server sent begin like no MP3 file.");
      }
    });

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
      space.Update(to_come - (progress.bytes_done - body_start));
      report(false);
    };

    client.Get(request_.url, file);
    // A body without a single byte is looked at all the same.
    file.RunFirstWriteCheck();
    file.RunFirstBytesCheck();
    progress.bytes_done = file.FileBytes();
    result.response_text = client.ResponseText();
    report(true);
    // A body cut by the abort may look complete (a body read until the peer closes); it is not.
    if (!aborted_) {
      // A range that stopped short leaves a file that is not the whole song yet.
      if (result.complete_length >= 0 && progress.bytes_done < result.complete_length) {
        throw IncompleteFileError("The file holds " + std::to_string(progress.bytes_done) +
                                  " of its " + std::to_string(result.complete_length) +
                                  " bytes after the body ended.");
      }
      if (result.complete_length >= 0 && progress.bytes_done > result.complete_length) {
        throw RangeMismatchError("The file holds " + std::to_string(progress.bytes_done) +
                                 " bytes, more than the server's " +
                                 std::to_string(result.complete_length) + ".");
      }
      if (!on_complete_) {
        file.Close();
        result.outcome = Result::Outcome::kComplete;
      } else if (on_complete_(file, aborted_)) {
        // Put in place for good: a stop that comes now changes nothing of it. The file is
        // closed with the stream, its bytes are synced already.
        result.outcome = Result::Outcome::kComplete;
      }
    }
  } catch (const DiskFullError& error) {
    result.outcome = Result::Outcome::kDiskFull;
    result.message = error.what();
  } catch (const NotEnoughSpaceError& error) {
    result.outcome = Result::Outcome::kNotEnoughSpace;
    result.message = error.what();
  } catch (const PartLockedError& error) {
    result.outcome = Result::Outcome::kPartLocked;
    result.message = error.what();
  } catch (const net::StreamError& error) {
    result.outcome = Result::Outcome::kFileError;
    result.message = error.what();
  } catch (const RangeMismatchError& error) {
    result.outcome = Result::Outcome::kRangeMismatch;
    result.message = error.what();
  } catch (const NotAudioError& error) {
    result.outcome = Result::Outcome::kNotAudio;
    result.message = error.what();
  } catch (const http::HttpProtocolError& error) {
    result.outcome = Result::Outcome::kHttpStatus;
    result.message = error.what();
    result.http_code = error.ErrorCode();
    result.transient = IsTransientFailure(error);
    result.retry_after_ms =
        RetryAfterMs(client.Response().RawHeaders().Value("Retry-After"), http::Now());
    result.complete_length = client.Response().ContentRangeInstanceLength();
  } catch (const net::ProxyError& error) {
    result.outcome = Result::Outcome::kProxyError;
    result.message = error.what();
  } catch (const std::exception& error) {
    result.outcome = Result::Outcome::kTransferError;
    result.message = error.what();
    result.transient = IsTransientFailure(error);
    result.stalled = dynamic_cast<const net::ReadTimeoutError*>(&error) != nullptr;
  }
  if (result.response_text.empty()) result.response_text = client.ResponseText();
  // Whatever a stopped transfer ran into is the stop's doing, unless its file was put in place.
  if (aborted_ && result.outcome != Result::Outcome::kComplete) {
    result.outcome = Result::Outcome::kAborted;
  }
  if (on_finish_) on_finish_(result);
}

}  // namespace mevra::download
