#include "portal/id3_tag.h"

#include <cstdint>

namespace mevra::portal {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void PutBigEndian32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

// The tag header's size is "synchsafe": seven bits per byte, so it never looks like a frame sync.
void PutSynchsafe32(std::string& out, uint32_t value) {
  for (int shift = 21; shift >= 0; shift -= 7) {
    out.push_back(static_cast<char>((value >> shift) & 0x7F));
  }
}

std::string TextFrame(const char* id, std::string_view text) {
  std::string body;
  body.push_back('\x01');  // UTF-16 with byte order mark
  body.push_back('\xFF');
  body.push_back('\xFE');
  for (char16_t unit : Utf8ToUtf16(text)) {
    body.push_back(static_cast<char>(unit & 0xFF));
    body.push_back(static_cast<char>(unit >> 8));
  }
  std::string frame(id, 4);
  PutBigEndian32(frame, static_cast<uint32_t>(body.size()));
  frame.append(2, '\0');  // no frame flags
  return frame + body;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80           ? 0
                : (lead >> 5) == 0x6  ? 1
                : (lead >> 4) == 0xE  ? 2
                : (lead >> 3) == 0x1E ? 3
                                      : -1;
    char32_t code = extra == 0   ? lead
                    : extra == 1 ? lead & 0x1F
                    : extra == 2 ? lead & 0x0F
                                 : lead & 0x07;
    ++i;
    if (extra < 0) {
      code = kReplacement;
      extra = 0;
    }
    for (int k = 0; k < extra; ++k, ++i) {
      if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
        code = kReplacement;
        break;
      }
      code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    if (code >= 0x110000 || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacement;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

std::string Id3v23Tag(std::string_view title, std::string_view artist) {
  const std::string frames = TextFrame("TIT2", title) + TextFrame("TPE1", artist);
  std::string tag = "ID3";
  tag.push_back('\x03');  // version 2.3.0
  tag.push_back('\x00');
  tag.push_back('\x00');  // no flags: no unsynchronisation, no extended header
  PutSynchsafe32(tag, static_cast<uint32_t>(frames.size()));
  return tag + frames;
}

}  // namespace mevra::portal
