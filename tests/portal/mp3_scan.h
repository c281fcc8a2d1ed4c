#pragma once

// A small reader of what the portal's file links serve: an ID3v2 tag followed by MPEG audio
// frames. Written independently of the portal's encoder, so a test compares two readings.

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace mevra::portal::testing {

struct Mp3Scan {
  bool has_id3 = false;
  int id3_major_version = 0;
  std::string title;   // TIT2, as UTF-8
  std::string artist;  // TPE1, as UTF-8
  size_t frame_count = 0;
  bool all_mpeg1_layer3 = true;
  std::set<int> bit_rates;     // kbit/s
  std::set<int> sample_rates;  // Hz
  std::string error;           // empty when the whole input was tag plus whole frames

  double Seconds() const {
    return sample_rates.size() == 1 ? frame_count * 1152.0 / *sample_rates.begin() : 0.0;
  }
};

namespace mp3_scan_detail {

inline void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Text frame body: an encoding byte, then the text (0 Latin-1, 1 UTF-16 with BOM, 3 UTF-8).
inline std::string DecodeText(std::string_view body) {
  if (body.empty()) return {};
  const auto encoding = static_cast<unsigned char>(body[0]);
  body.remove_prefix(1);
  std::string out;
  if (encoding == 3) {
    out = std::string(body);
  } else if (encoding == 0) {
    for (unsigned char c : body) AppendUtf8(out, c);
  } else if (encoding == 1 && body.size() >= 2) {
    const bool little = static_cast<unsigned char>(body[0]) == 0xFF;
    body.remove_prefix(2);
    for (size_t i = 0; i + 1 < body.size(); i += 2) {
      auto unit = [&](size_t k) -> char32_t {
        const auto a = static_cast<unsigned char>(body[k]);
        const auto b = static_cast<unsigned char>(body[k + 1]);
        return little ? (b << 8 | a) : (a << 8 | b);
      };
      char32_t c = unit(i);
      if (c >= 0xD800 && c < 0xDC00 && i + 3 < body.size()) {
        c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
        i += 2;
      }
      AppendUtf8(out, c);
    }
  }
  while (!out.empty() && out.back() == '\0') out.pop_back();
  return out;
}

}  // namespace mp3_scan_detail

inline Mp3Scan ScanMp3(std::string_view data) {
  Mp3Scan scan;
  auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(data[i])); };
  size_t pos = 0;
  if (data.size() >= 10 && data.substr(0, 3) == "ID3") {
    scan.has_id3 = true;
    scan.id3_major_version = static_cast<int>(byte(3));
    const size_t size = byte(6) << 21 | byte(7) << 14 | byte(8) << 7 | byte(9);
    const size_t end = 10 + size;
    if (end > data.size()) {
      scan.error = "tag longer than the file";
      return scan;
    }
    pos = 10;
    while (pos + 10 <= end && data[pos] != '\0') {
      const std::string_view id = data.substr(pos, 4);
      const size_t frame_size =
          byte(pos + 4) << 24 | byte(pos + 5) << 16 | byte(pos + 6) << 8 | byte(pos + 7);
      if (pos + 10 + frame_size > end) {
        scan.error = "tag frame runs past the tag";
        return scan;
      }
      const std::string_view body = data.substr(pos + 10, frame_size);
      if (id == "TIT2") scan.title = mp3_scan_detail::DecodeText(body);
      if (id == "TPE1") scan.artist = mp3_scan_detail::DecodeText(body);
      pos += 10 + frame_size;
    }
    pos = end;
  }
  static constexpr int kBitRates[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                        112, 128, 160, 192, 224, 256, 320, 0};
  static constexpr int kSampleRates[4] = {44100, 48000, 32000, 0};
  while (pos < data.size()) {
    if (pos + 4 > data.size()) {
      scan.error = "trailing bytes after the last frame";
      return scan;
    }
    const uint32_t header =
        byte(pos) << 24 | byte(pos + 1) << 16 | byte(pos + 2) << 8 | byte(pos + 3);
    if ((header >> 21) != 0x7FF) {
      scan.error = "no frame sync at offset " + std::to_string(pos);
      return scan;
    }
    const uint32_t version = (header >> 19) & 3;  // 3: MPEG-1
    const uint32_t layer = (header >> 17) & 3;    // 1: Layer III
    const int bit_rate = kBitRates[(header >> 12) & 0xF];
    const int sample_rate = kSampleRates[(header >> 10) & 3];
    const size_t padding = (header >> 9) & 1;
    if (version != 3 || layer != 1) scan.all_mpeg1_layer3 = false;
    if (bit_rate == 0 || sample_rate == 0) {
      scan.error = "invalid frame header at offset " + std::to_string(pos);
      return scan;
    }
    scan.bit_rates.insert(bit_rate);
    scan.sample_rates.insert(sample_rate);
    const size_t length = 144000u * bit_rate / sample_rate + padding;
    if (pos + length > data.size()) {
      scan.error = "last frame cut short";
      return scan;
    }
    pos += length;
    ++scan.frame_count;
  }
  return scan;
}

}  // namespace mevra::portal::testing
