#include "portal/song_extras.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace mevra::portal {
namespace {

constexpr int kCoverSide = 600;
// Good enough for a cover, small enough that tests fetch dozens quickly.
constexpr int kCoverQuality = 85;
// A lyrics line every few seconds, from just after the start to the song's end.
constexpr int kLyricsFirstLineMs = 1500;
constexpr int kLyricsLineStepMs = 4250;

uint64_t Seed(const std::string& id) {
  // FNV-1a: the same id always gives the same picture.
  uint64_t hash = 1469598103934665603ULL;
  for (unsigned char c : id) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  return hash;
}

struct Rgb {
  int r, g, b;
};

Rgb ColourOf(uint64_t bits) {
  return {static_cast<int>(bits & 0xff), static_cast<int>((bits >> 8) & 0xff),
          static_cast<int>((bits >> 16) & 0xff)};
}

struct Circle {
  int x, y, radius;
  Rgb colour;
};

std::vector<unsigned char> CoverPixels(const Song& song) {
  uint64_t seed = Seed(song.id);
  auto next = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  const Rgb top = ColourOf(next());
  const Rgb bottom = ColourOf(next());
  std::vector<Circle> circles;
  const int count = 3 + static_cast<int>(next() % 4);
  for (int i = 0; i < count; ++i) {
    circles.push_back({static_cast<int>(next() % kCoverSide), static_cast<int>(next() % kCoverSide),
                       40 + static_cast<int>(next() % 160), ColourOf(next())});
  }
  const int stripe = 20 + static_cast<int>(next() % 60);
  std::vector<unsigned char> pixels(static_cast<size_t>(kCoverSide) * kCoverSide * 3);
  for (int y = 0; y < kCoverSide; ++y) {
    for (int x = 0; x < kCoverSide; ++x) {
      Rgb c{top.r + (bottom.r - top.r) * y / kCoverSide,
            top.g + (bottom.g - top.g) * y / kCoverSide,
            top.b + (bottom.b - top.b) * y / kCoverSide};
      if (((x + y) / stripe) % 2 == 0) c = {c.r * 7 / 8, c.g * 7 / 8, c.b * 7 / 8};
      for (const Circle& circle : circles) {
        const int dx = x - circle.x;
        const int dy = y - circle.y;
        if (dx * dx + dy * dy <= circle.radius * circle.radius) c = circle.colour;
      }
      unsigned char* pixel = &pixels[(static_cast<size_t>(y) * kCoverSide + x) * 3];
      pixel[0] = static_cast<unsigned char>(c.r);
      pixel[1] = static_cast<unsigned char>(c.g);
      pixel[2] = static_cast<unsigned char>(c.b);
    }
  }
  return pixels;
}

std::string Timestamp(int ms) {
  char text[16];
  std::snprintf(text, sizeof text, "[%02d:%02d.%02d]", ms / 60000, ms / 1000 % 60, ms % 1000 / 10);
  return text;
}

constexpr std::array<const char*, 8> kLines = {
    "风吹过安静的街", "Under the lights we wait", "我把名字写在夜里",   "Every road leads home",
    "听见远处的回声", "Hold on to the morning",   "我们还在原来的地方", "Sing it one more time"};

}  // namespace

std::string CoverPath(const Song& song) { return "/data/cover/" + song.id + ".jpg"; }

std::string LyricsPath(const Song& song) { return "/data/lyrics/" + song.id + ".lrc"; }

std::string CoverJpeg(const Song& song) {
  if (!song.has_cover) return {};
  std::vector<unsigned char> pixels = CoverPixels(song);
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = kCoverSide;
  info.image_height = kCoverSide;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kCoverQuality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = &pixels[static_cast<size_t>(info.next_scanline) * kCoverSide * 3];
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string jpeg(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return jpeg;
}

std::string LyricsText(const Song& song) {
  if (song.lyrics == Lyrics::kNone) return {};
  const bool timed = song.lyrics == Lyrics::kTimed;
  std::string text;
  if (timed) text = "[ti:" + song.title + "]\n[ar:" + song.singer + "]\n";
  const uint64_t seed = Seed(song.id);
  int line = 0;
  for (int ms = kLyricsFirstLineMs; ms < song.seconds * 1000; ms += kLyricsLineStepMs, ++line) {
    if (timed) text += Timestamp(ms);
    text += line == 0 ? song.title : kLines[(seed + static_cast<uint64_t>(line)) % kLines.size()];
    text += '\n';
  }
  return text;
}

}  // namespace mevra::portal
