#include "portal/tone_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace mevra::portal {
namespace {

constexpr size_t kTableBits = 12;
constexpr size_t kChordFrames = ToneSynth::kSampleRate * 2;
constexpr size_t kNoteFrames = ToneSynth::kSampleRate / 4;
// Short fades keep the first and last frame free of clicks.
constexpr size_t kFadeFrames = ToneSynth::kSampleRate / 20;

// I - V - vi - IV, as semitones above the root.
constexpr int kProgression[4][3] = {{0, 4, 7}, {7, 11, 14}, {9, 12, 16}, {5, 9, 12}};
constexpr int kPentatonic[5] = {0, 2, 4, 7, 9};

const std::vector<float>& SineTable() {
  static const std::vector<float> table = [] {
    std::vector<float> t(size_t{1} << kTableBits);
    for (size_t i = 0; i < t.size(); ++i) {
      t[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * static_cast<double>(i) /
                                         static_cast<double>(t.size())));
    }
    return t;
  }();
  return table;
}

uint32_t PhaseStep(double hz) {
  return static_cast<uint32_t>(hz / ToneSynth::kSampleRate * 4294967296.0);
}

double Semitones(double hz, int n) { return hz * std::pow(2.0, n / 12.0); }

uint64_t Fnv1a(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace

ToneSynth::ToneSynth(const Song& song)
    : total_frames_(static_cast<size_t>(song.seconds) * kSampleRate),
      random_(Fnv1a(song.id) | 1),
      root_hz_(static_cast<float>(Semitones(110.0, static_cast<int>(Fnv1a(song.id) % 12)))) {}

void ToneSynth::StartChord(size_t index) {
  const int* chord = kProgression[index % 4];
  for (size_t v = 0; v < chord_.size(); ++v) {
    chord_[v].step = PhaseStep(Semitones(root_hz_, chord[v]));
    chord_[v].level = 0.16f;
  }
}

void ToneSynth::StartNote() {
  // A small linear congruential generator: deterministic and independent of the library.
  random_ = random_ * 6364136223846793005ull + 1442695040888963407ull;
  const int degree = static_cast<int>((random_ >> 33) % 10);
  const int semis = 12 + kPentatonic[degree % 5] + (degree / 5) * 12;
  melody_.step = PhaseStep(Semitones(root_hz_, semis));
  melody_.level = (random_ >> 60) == 0 ? 0.0f : 0.22f;  // an occasional rest
  melody_decay_ = 0.99994f;
}

float ToneSynth::Next(Voice& voice) const {
  const float value = SineTable()[voice.phase >> (32 - kTableBits)] * voice.level;
  voice.phase += voice.step;
  return value;
}

size_t ToneSynth::Render(int16_t* left, int16_t* right, size_t count) {
  const size_t n = std::min(count, total_frames_ - position_);
  for (size_t i = 0; i < n; ++i, ++position_) {
    if (position_ % kChordFrames == 0) StartChord(position_ / kChordFrames);
    if (position_ % kNoteFrames == 0) StartNote();
    float chord = 0;
    for (Voice& voice : chord_) chord += Next(voice);
    const float melody = Next(melody_);
    melody_.level *= melody_decay_;
    float gain = 1.0f;
    if (position_ < kFadeFrames) gain = static_cast<float>(position_) / kFadeFrames;
    const size_t left_over = total_frames_ - position_;
    if (left_over < kFadeFrames) gain = static_cast<float>(left_over) / kFadeFrames;
    const float l = (chord * 0.7f + melody * 0.4f) * gain;
    const float r = (chord * 0.4f + melody * 0.7f) * gain;
    left[i] = static_cast<int16_t>(std::clamp(l, -1.0f, 1.0f) * 32000.0f);
    right[i] = static_cast<int16_t>(std::clamp(r, -1.0f, 1.0f) * 32000.0f);
  }
  return n;
}

}  // namespace mevra::portal
