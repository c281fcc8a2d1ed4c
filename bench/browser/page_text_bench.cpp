// Run offscreen, e.g. with QT_QPA_PLATFORM=offscreen and, as root,
// QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" in the environment.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "browser/browser_control.h"
#include "test_http_server.h"
#include "wait_until.h"

namespace {

using mevra::browser::BrowserControl;
using mevra::browser::test::TestHttpServer;
using mevra::browser::test::WaitUntil;

TestHttpServer* server = nullptr;
BrowserControl* web = nullptr;

// A chart page with `items` song items, about 200 bytes of markup each.
QByteArray ChartPage(int items) {
  QByteArray page = "<html><body><ul>";
  for (int i = 0; i < items; ++i) {
    page += "<li class=\"song-item  clearfix\" data-songitem=\"{&quot;sid&quot;:" +
            QByteArray::number(100000 + i) +
            "}\"><span class=\"song-title\"><a href=\"/song/1\">Title</a></span>"
            "<span class=\"singer\">Singer</span></li>";
  }
  return page + "</ul></body></html>";
}

void BM_PageText(benchmark::State& state) {
  const int items = static_cast<int>(state.range(0));
  const QString path = QStringLiteral("/chart%1.html").arg(items);
  server->Serve(path, "text/html", ChartPage(items));
  const quint64 before = web->LoadsFinished();
  web->Navigate(server->Url(path));
  if (!WaitUntil([&] { return web->LoadsFinished() > before; })) {
    state.SkipWithError("page did not load");
    return;
  }
  qsizetype size = 0;
  for (auto _ : state) {
    const QString text = web->PageText();
    size = text.size();
    benchmark::DoNotOptimize(size);
  }
  state.SetBytesProcessed(state.iterations() * size * static_cast<qsizetype>(sizeof(QChar)));
}
BENCHMARK(BM_PageText)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  BrowserControl::PrepareApplication();
  QApplication app(argc, argv);
  QTemporaryDir profile_dir;
  BrowserControl::SetProfileStoragePath(profile_dir.path());
  server = new TestHttpServer;
  web = new BrowserControl(QStringLiteral("web1"));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete web;
  delete server;
  return 0;
}
