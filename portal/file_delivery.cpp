#include "portal/file_delivery.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "portal/song_file_cache.h"

namespace mevra::portal {
namespace {

using Clock = std::chrono::steady_clock;

// Pieces handed to the socket at a time; small enough for a client to see steady progress.
constexpr size_t kPieceBytes = 16 * 1024;
// Throttled bodies go out in pieces of a twentieth of a second's worth, at least this much.
constexpr size_t kMinThrottledPiece = 512;

// Sends one body, piece by piece, keeping to the rate limit and stopping where a fault says.
class BodyWriter {
 public:
  BodyWriter(std::shared_ptr<const std::string> bytes, const PortalState& state, size_t send_limit,
             bool stall_at_limit)
      : bytes_(std::move(bytes)),
        state_(state),
        send_limit_(std::min(send_limit, bytes_->size())),
        stall_at_limit_(stall_at_limit),
        start_(Clock::now()) {}

  size_t Size() const { return bytes_->size(); }

  // One piece from `offset` on; false ends the response by closing the connection.
  bool WritePiece(size_t offset, size_t length, httplib::DataSink& sink) {
    if (offset >= send_limit_) {
      if (stall_at_limit_)
        state_.shutdown.WaitFor(std::chrono::seconds(state_.options.stall_seconds));
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
    if (!sink.write(bytes_->data() + offset, piece)) return false;
    sent_ += piece;
    return true;
  }

 private:
  std::shared_ptr<const std::string> bytes_;
  const PortalState& state_;
  size_t send_limit_;
  bool stall_at_limit_;
  Clock::time_point start_;
  uint64_t sent_ = 0;
};

}  // namespace

void DeliverSongFile(const Song& song, int rate, const PortalState& state, httplib::Response& res) {
  auto bytes = std::make_shared<const std::string>(EncodedSongBytes(song, rate, state.data_dir));
  size_t send_limit = bytes->size();
  if (song.fault == Fault::kEarlyClose) send_limit = bytes->size() / 2;
  if (song.fault == Fault::kStall) send_limit = bytes->size() / 4;
  auto writer = std::make_shared<BodyWriter>(std::move(bytes), state, send_limit,
                                             song.fault == Fault::kStall);
  res.set_header("Content-Disposition",
                 "attachment; filename=\"" + song.id + "-" + std::to_string(rate) + ".mp3\"");
  if (song.delivery == Delivery::kChunked) {
    res.set_chunked_content_provider(
        "audio/mpeg", [writer](size_t offset, httplib::DataSink& sink) {
          if (offset >= writer->Size()) {
            sink.done();
            return true;
          }
          return writer->WritePiece(offset, writer->Size() - offset, sink);
        });
  } else {
    res.set_content_provider(writer->Size(), "audio/mpeg",
                             [writer](size_t offset, size_t length, httplib::DataSink& sink) {
                               return writer->WritePiece(offset, length, sink);
                             });
  }
}

}  // namespace mevra::portal
