// Encoding time of a song's file on its first request (nothing cached), by length and rate.
#include <benchmark/benchmark.h>

#include "portal/mp3_encoder.h"
#include "portal/tone_synth.h"

namespace mevra::portal {
namespace {

Song BenchSong(int seconds) {
  return Song{"23479999",         "Bench",     "Bench", seconds, {128, 192, 320},
              Delivery::kCounted, Fault::kNone};
}

void BM_EncodeSong(benchmark::State& state) {
  const Song song = BenchSong(static_cast<int>(state.range(0)));
  const int rate = static_cast<int>(state.range(1));
  size_t bytes = 0;
  for (auto _ : state) bytes = EncodeSongMp3(song, rate).size();
  state.counters["file_bytes"] = static_cast<double>(bytes);
  state.counters["audio_s_per_s"] = benchmark::Counter(
      static_cast<double>(song.seconds), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EncodeSong)
    ->Args({22, 128})
    ->Args({240, 128})
    ->Args({240, 320})
    ->Unit(benchmark::kMillisecond);

// The synthesis alone, to tell its share from the encoder's.
void BM_SynthesiseSong(benchmark::State& state) {
  const Song song = BenchSong(240);
  std::vector<int16_t> left(8192), right(8192);
  for (auto _ : state) {
    ToneSynth synth(song);
    while (synth.Render(left.data(), right.data(), left.size())) {
    }
  }
}
BENCHMARK(BM_SynthesiseSong)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mevra::portal

BENCHMARK_MAIN();
