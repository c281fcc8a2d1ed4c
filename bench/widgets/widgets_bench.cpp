#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QWidget>

#include "widgets/progress_status.h"
#include "widgets/shorten_path.h"
#include "widgets/status_bar.h"
#include "widgets/status_pane.h"

namespace {

using mevra::widgets::FrameStyle;
using mevra::widgets::PaneAlign;
using mevra::widgets::ProgressStatus;
using mevra::widgets::StatusBar;
using mevra::widgets::StatusPane;

struct MainBar {
  explicit MainBar(bool program_font = false) {
    if (program_font) {
      // The program's own font, whose line is taller than the text area.
      QFont font(QStringLiteral("Noto Sans CJK SC"));
      font.setPixelSize(13);
      window.setFont(font);
    }
    window.resize(1072, 100);
    bar = new StatusBar(&window);
    info = new StatusPane(bar);
    info->SetWidth(510);
    info->SetFrameStyle(FrameStyle::fsStatus);
    info->SetAlign(PaneAlign::alLeft);
    progress = new ProgressStatus(bar);
    progress->SetAlign(PaneAlign::alClient);
    progress->SetBarColor(QColor(128, 128, 128));
    progress->SetNumSegments(1);
    progress->SetShowPercent(true);
  }
  QWidget window;
  StatusBar* bar;
  StatusPane* info;
  ProgressStatus* progress;
};

// One progress event of a transfer: a new caption and a new percent, painted at once.
void BM_ProgressEventRepaint(benchmark::State& state) {
  MainBar main;
  main.window.show();
  QApplication::processEvents();
  uint16_t percent = 0;
  for (auto _ : state) {
    percent = static_cast<uint16_t>((percent + 1) % 101);
    main.info->SetCaption(QString::number(percent));
    main.progress->SetPercent(percent);
  }
}
BENCHMARK(BM_ProgressEventRepaint);

// The same with the program's font and the caption a transfer really shows.
void BM_ProgressEventRepaintProgramFont(benchmark::State& state) {
  MainBar main(/*program_font=*/true);
  main.window.show();
  QApplication::processEvents();
  uint16_t percent = 0;
  for (auto _ : state) {
    percent = static_cast<uint16_t>((percent + 1) % 101);
    main.info->SetCaption(
        QStringLiteral("《Spring Song (Live)》已下载:%1K  总大小:4882K  已下载:3首")
            .arg(percent * 48));
    main.progress->SetPercent(percent);
  }
}
BENCHMARK(BM_ProgressEventRepaintProgramFont);

// A progress event whose percent did not change: must cost next to nothing.
void BM_UnchangedPercent(benchmark::State& state) {
  MainBar main;
  main.window.show();
  QApplication::processEvents();
  main.progress->SetPercent(57);
  for (auto _ : state) main.progress->SetPercent(57);
}
BENCHMARK(BM_UnchangedPercent);

void BM_RenderBar(benchmark::State& state) {
  MainBar main;
  main.progress->SetPercent(57);
  main.info->SetCaption("Downloading song 3 of 8");
  QImage image(main.bar->size(), QImage::Format_RGB32);
  for (auto _ : state) main.bar->render(&image);
}
BENCHMARK(BM_RenderBar);

void BM_ShortenDeepPath(benchmark::State& state) {
  const QFontMetrics metrics{QFont()};
  QString path;
  for (int i = 0; i < 40; ++i) path += "/folder" + QString::number(i);
  path += "/song.mp3";
  for (auto _ : state) {
    benchmark::DoNotOptimize(mevra::widgets::ShortenPath(
        path, 340, [&](const QString& text) { return metrics.horizontalAdvance(text); }));
  }
}
BENCHMARK(BM_ShortenDeepPath);

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
