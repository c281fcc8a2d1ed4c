#include "portal/file_delivery.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "portal/file_validators.h"
#include "portal/limits.h"
#include "portal/open_connections.h"
#include "portal/route_helpers.h"
#include "portal/song_file_cache.h"

namespace mevra::portal {
namespace {

using Clock = std::chrono::steady_clock;

// Pieces handed to the socket at a time; small enough for a client to see steady progress.
constexpr size_t kPieceBytes = 16 * 1024;
// Throttled bodies go out in pieces of a twentieth of a second's worth, at least this much.
constexpr size_t kMinThrottledPiece = 512;

// The bytes a request asks for: "bytes=N-" or "bytes=N-M", one range only; nullopt for no Range
// or one this portal does not serve (several ranges, a suffix), which gets the whole file.
struct ByteRange {
  size_t start;
  size_t end;  // last byte, inclusive; npos for "to the end"
};
std::optional<ByteRange> RequestedRange(const httplib::Request& req) {
  const std::string value = req.get_header_value("Range");
  if (value.rfind("bytes=", 0) != 0 || value.find(',') != std::string::npos) return std::nullopt;
  const std::string span = value.substr(6);
  const size_t dash = span.find('-');
  if (dash == 0 || dash == std::string::npos) return std::nullopt;
  const auto digits = [](const std::string& text) {
    return !text.empty() && text.size() <= 18 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  const std::string first = span.substr(0, dash);
  const std::string last = span.substr(dash + 1);
  if (!digits(first) || (!last.empty() && !digits(last))) return std::nullopt;
  ByteRange range{std::stoull(first), last.empty() ? std::string::npos : std::stoull(last)};
  if (range.end < range.start) return std::nullopt;
  return range;
}

// Sends one body, piece by piece, keeping to the rate limit and stopping where a fault says.
// Offsets are the file's own, whatever part of it the answer carries.
class BodyWriter {
 public:
  enum class AtLimit { kClose, kStall, kReset };

  BodyWriter(std::shared_ptr<const std::string> bytes, PortalState& state, size_t send_limit,
             AtLimit at_limit, std::string peer_address, int peer_port, std::string song_id)
      : bytes_(std::move(bytes)),
        state_(state),
        send_limit_(std::min(send_limit, bytes_->size())),
        at_limit_(at_limit),
        peer_address_(std::move(peer_address)),
        peer_port_(peer_port),
        song_id_(std::move(song_id)),
        start_(Clock::now()) {}

  size_t Size() const { return bytes_->size(); }

  // One piece from `offset` on; false ends the response by closing the connection.
  bool WritePiece(size_t offset, size_t length, httplib::DataSink& sink) {
    if (offset >= send_limit_) {
      if (at_limit_ == AtLimit::kStall)
        state_.shutdown.WaitFor(std::chrono::seconds(state_.options.stall_seconds));
      if (at_limit_ == AtLimit::kReset) ResetConnection(peer_address_, peer_port_);
      return false;
    }
    size_t piece = std::min({kPieceBytes, length, send_limit_ - offset});
    if (const uint64_t rate = state_.options.rate_limit) {
      piece = std::min<size_t>(piece, std::max<size_t>(kMinThrottledPiece, rate / 20));
      // The piece may leave once everything sent so far has had its share of time.
      const auto due = start_ + std::chrono::microseconds(sent_ * 1000000 / rate);
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
      if (wait.count() > 0 && state_.shutdown.WaitFor(wait)) return false;
    }
    if (state_.shutdown.IsRequested()) return false;
    // A download served to its end starts the passing faults over for the next one. The count
    // goes back before the last piece leaves: a client that has the whole file may ask again at
    // once, before this thread would have come back from the write.
    if (offset + piece == bytes_->size()) state_.flaky_requests.Reset(song_id_);
    if (!sink.write(bytes_->data() + offset, piece)) return false;
    sent_ += piece;
    return true;
  }

 private:
  std::shared_ptr<const std::string> bytes_;
  PortalState& state_;
  size_t send_limit_;
  AtLimit at_limit_;
  std::string peer_address_;
  int peer_port_;
  std::string song_id_;
  Clock::time_point start_;
  uint64_t sent_ = 0;
};

}  // namespace

void DeliverSongFile(const httplib::Request& req, const Song& song, int rate, PortalState& state,
                     httplib::Response& res) {
  // The library would answer a Range by itself, and cannot answer it as a server that ignores
  // it, nor with 416 past the end; this answer is the portal's own.
  const_cast<httplib::Request&>(req).ranges.clear();

  if (song.fault == Fault::kBusyOnce && state.flaky_requests.Next(song.id) == 0) {
    res.set_header("Retry-After", "1");
    return SendError(res, 503, "服务器忙，请稍后再试。");
  }
  auto bytes = std::make_shared<const std::string>(EncodedSongBytes(song, rate, state.data_dir));
  const size_t size = bytes->size();
  const FileValidators validators = ValidatorsOf(CachedSongPath(song, rate, state.data_dir));
  std::optional<ByteRange> range =
      song.fault == Fault::kIgnoresRange ? std::nullopt : RequestedRange(req);
  // A range of a file that changed since the client's bytes came is no use to it: it gets the
  // whole new file.
  if (range && req.has_header("If-Range") && !validators.Matches(req.get_header_value("If-Range")))
    range.reset();
  if (range && range->start >= size) {
    res.set_header("Content-Range", "bytes */" + std::to_string(size));
    return SendError(res, 416, "请求的范围超出了文件。");
  }
  const size_t first = range ? range->start : 0;
  size_t end = range ? std::min(range->end, size - 1) + 1 : size;  // one past the last
  // The first range of each download gets only the first half of what it asked for, said
  // honestly in its Content-Range.
  if (range && song.fault == Fault::kShortRangeOnce && state.flaky_requests.Next(song.id) == 0) {
    end = first + std::max<size_t>(1, (end - first) / 2);
  }

  // The faults stay within a range: the short body ends half way through what it announces,
  // the stall comes a quarter of the way in, the reset after a fixed number of bytes.
  size_t send_limit = end;
  BodyWriter::AtLimit at_limit = BodyWriter::AtLimit::kClose;
  if (song.fault == Fault::kEarlyClose) send_limit = first + (end - first) / 2;
  if (song.fault == Fault::kStall) {
    send_limit = first + (end - first) / 4;
    at_limit = BodyWriter::AtLimit::kStall;
  }
  if (song.fault == Fault::kResetsTwice && state.flaky_requests.Next(song.id) < 2) {
    send_limit = std::min(end, first + kFlakyResetBytes);
    at_limit = BodyWriter::AtLimit::kReset;
  }
  auto writer = std::make_shared<BodyWriter>(std::move(bytes), state, send_limit, at_limit,
                                             req.remote_addr, req.remote_port, song.id);
  if (!validators.etag.empty()) {
    res.set_header("ETag", validators.etag);
    res.set_header("Last-Modified", validators.last_modified);
  }
  res.set_header("Content-Disposition",
                 "attachment; filename=\"" + song.id + "-" + std::to_string(rate) + ".mp3\"");
  if (range) {
    res.status = 206;
    res.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                        std::to_string(end - 1) + "/" + std::to_string(size));
  }
  if (song.delivery == Delivery::kChunked) {
    res.set_chunked_content_provider(
        "audio/mpeg", [writer, first, end](size_t offset, httplib::DataSink& sink) {
          if (first + offset >= end) {
            sink.done();
            return true;
          }
          return writer->WritePiece(first + offset, end - first - offset, sink);
        });
  } else {
    res.set_content_provider(
        end - first, "audio/mpeg",
        [writer, first](size_t offset, size_t length, httplib::DataSink& sink) {
          return writer->WritePiece(first + offset, length, sink);
        });
  }
}

}  // namespace mevra::portal
