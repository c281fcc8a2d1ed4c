#include "portal/mp3_encoder.h"

#include <lame/lame.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "portal/id3_tag.h"
#include "portal/tone_synth.h"

namespace mevra::portal {
namespace {

constexpr size_t kBlockFrames = 8192;
// The encoder asks for 1.25 x samples + 7200 bytes of room per call.
constexpr size_t kOutputRoom = kBlockFrames * 5 / 4 + 7200;
// Speed over finesse: generated tones need no psychoacoustic effort, and encoding happens
// while a client waits for the first byte.
constexpr int kEncoderQuality = 7;

using LameHandle = std::unique_ptr<lame_global_flags, decltype(&lame_close)>;

LameHandle OpenEncoder(int rate) {
  LameHandle lame(lame_init(), &lame_close);
  if (!lame) throw std::runtime_error("the MP3 encoder could not be created");
  lame_set_in_samplerate(lame.get(), ToneSynth::kSampleRate);
  lame_set_out_samplerate(lame.get(), ToneSynth::kSampleRate);
  lame_set_num_channels(lame.get(), 2);
  lame_set_mode(lame.get(), JOINT_STEREO);
  lame_set_VBR(lame.get(), vbr_off);
  lame_set_brate(lame.get(), rate);
  lame_set_quality(lame.get(), kEncoderQuality);
  // Every frame is an audio frame at the link's rate: no informational first frame, no tag of
  // the encoder's own (ours goes in front).
  lame_set_bWriteVbrTag(lame.get(), 0);
  lame_set_write_id3tag_automatic(lame.get(), 0);
  if (lame_init_params(lame.get()) < 0) {
    throw std::runtime_error("the MP3 encoder rejected its settings");
  }
  return lame;
}

}  // namespace

std::string EncodeSongMp3(const Song& song, int rate) {
  if (!song.Offers(rate)) {
    throw std::invalid_argument("song " + song.id + " is not offered at " + std::to_string(rate));
  }
  LameHandle lame = OpenEncoder(rate);
  ToneSynth synth(song);
  std::string out = Id3v23Tag(song.title, song.singer);
  // Room for the whole file up front: rate/8 bytes per second plus a frame of slack.
  out.reserve(out.size() + static_cast<size_t>(song.seconds + 1) * rate * 125);

  std::vector<int16_t> left(kBlockFrames), right(kBlockFrames);
  std::vector<unsigned char> buffer(kOutputRoom);
  while (size_t frames = synth.Render(left.data(), right.data(), kBlockFrames)) {
    const int n =
        lame_encode_buffer(lame.get(), left.data(), right.data(), static_cast<int>(frames),
                           buffer.data(), static_cast<int>(buffer.size()));
    if (n < 0) throw std::runtime_error("the MP3 encoder failed");
    out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(n));
  }
  const int n = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
  if (n < 0) throw std::runtime_error("the MP3 encoder failed to finish");
  out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(n));
  return out;
}

}  // namespace mevra::portal
