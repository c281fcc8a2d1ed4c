// The harvest over chart pages of growing size. Each item carries about 2.5 KB of markup, as a
// portal page does; the time per page must grow in step with the number of items.
#include <benchmark/benchmark.h>

#include <string>

#include "app/song_harvest.h"

namespace {

std::string MakePage(int items) {
  const std::string filler(2300, 'x');
  std::string page = "<html><head><title>chart</title></head><body><ul>\n";
  for (int i = 0; i < items; ++i) {
    page += "<li class=\"clearfix  song-item-hook { 'sid': '" + std::to_string(100000 + i) +
            "', 'sname': '歌曲" + std::to_string(i) + "', 'author': '歌手' }\">";
    page += "<div class=\"song-item\"><span class=\"index-num\">" + std::to_string(i) +
            "</span><!-- " + filler + " --></div></li>\n";
  }
  return page + "</ul></body></html>\r\n";
}

void BM_HarvestSongItems(benchmark::State& state) {
  const std::string page = MakePage(static_cast<int>(state.range(0)));
  size_t found = 0;
  for (auto _ : state) {
    found = mevra::app::HarvestSongItems(page).size();
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page.size()));
  state.counters["items"] = static_cast<double>(found);
  state.counters["page_kb"] = static_cast<double>(page.size()) / 1024.0;
}
BENCHMARK(BM_HarvestSongItems)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
