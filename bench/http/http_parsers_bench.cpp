// Costs of the parsers a download pays for on every request: URL, header block, cookie header.
#include <benchmark/benchmark.h>

#include <string>

#include "http/cookie_manager.h"
#include "http/response_header_info.h"
#include "http/uri.h"

namespace {

void BM_ParseAndMergeUri(benchmark::State& state) {
  mevra::http::Uri target;
  for (auto _ : state) {
    mevra::http::Uri next("http://127.0.0.1:18082/music/2012/320/song.mp3?xcode=abcdef0123");
    target.Merge(next);
    target.Merge(mevra::http::Uri("../128/other.mp3"));
    benchmark::DoNotOptimize(target.Path());
  }
}
BENCHMARK(BM_ParseAndMergeUri);

void BM_ProcessResponseHeaders(benchmark::State& state) {
  const char* lines[] = {"Date: Sun, 06 Nov 1994 08:49:37 GMT",
                         "Server: portal",
                         "Content-Type: audio/mpeg",
                         "Content-Length: 4823040",
                         "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT",
                         "Expires: 3600",
                         "Set-Cookie: sid=1; path=/",
                         "Connection: keep-alive"};
  for (auto _ : state) {
    mevra::http::ResponseHeaderInfo response;
    for (const char* line : lines) response.RawHeaders().Add(line);
    response.ProcessHeaders();
    benchmark::DoNotOptimize(response.ContentLength());
  }
}
BENCHMARK(BM_ProcessResponseHeaders);

void BM_GenerateCookieList(benchmark::State& state) {
  mevra::http::CookieManager manager;
  for (int i = 0; i < state.range(0); ++i) {
    // Built piece by piece: GCC 12 warns wrongly about overlapping copies in "c" + ... at -O3.
    std::string text = "c";
    text += std::to_string(i);
    text += "=v; path=/";
    manager.AddCookie(text, "127.0.0.1");
  }
  const mevra::http::Uri target("http://127.0.0.1/music/a.mp3");
  for (auto _ : state) benchmark::DoNotOptimize(manager.GenerateCookieList(target));
}
BENCHMARK(BM_GenerateCookieList)->Arg(4)->Arg(64);

}  // namespace

BENCHMARK_MAIN();
