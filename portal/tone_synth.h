#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "portal/song.h"

namespace mevra::portal {

// Generates a song's audio: a chord progression with a melody over it, both derived from the
// song's id, so the same song always sounds (and encodes) the same.
class ToneSynth {
 public:
  static constexpr int kSampleRate = 44100;

  explicit ToneSynth(const Song& song);

  size_t TotalFrames() const { return total_frames_; }
  // Fills up to `count` stereo frames and returns how many were written (0 at the end).
  size_t Render(int16_t* left, int16_t* right, size_t count);

 private:
  struct Voice {
    uint32_t phase = 0;
    uint32_t step = 0;
    float level = 0;
  };

  void StartChord(size_t index);
  void StartNote();
  float Next(Voice& voice) const;

  size_t total_frames_;
  size_t position_ = 0;
  uint64_t random_;
  float root_hz_;
  std::array<Voice, 3> chord_{};
  Voice melody_{};
  float melody_decay_ = 1.0f;
};

}  // namespace mevra::portal
