#pragma once

#include <QByteArray>

namespace mevra::testing {

// What follows a leading ID3v2 tag: the audio, which a saved song keeps as it came while its
// tag gains the song's id, cover and lyrics.
inline QByteArray AudioOf(QByteArray bytes) {
  if (bytes.size() < 10 || !bytes.startsWith("ID3")) return bytes;
  qsizetype size = 0;
  for (int i = 6; i < 10; ++i) size = size * 128 + (static_cast<unsigned char>(bytes[i]) & 0x7f);
  const bool footer = (static_cast<unsigned char>(bytes[5]) & 0x10) != 0;
  return bytes.mid(10 + size + (footer ? 10 : 0));
}

}  // namespace mevra::testing
