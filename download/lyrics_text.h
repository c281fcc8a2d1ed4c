#pragma once

#include <QString>
#include <vector>

#include "download/tag_writer.h"

namespace mevra::download {

// A song's lyrics read from LRC or plain text.
struct ParsedLyrics {
  // The words without times, one line each, as a player shows them unsynchronised.
  QString plain;
  // The lines with a time, in the order of their times; empty for plain text.
  std::vector<TimedLine> timed;
};

// Reads "[mm:ss.xx]text" lines (several times before one text, "[mm:ss]", one to three
// fraction digits, ":" for the point); header lines such as "[ti:...]" are left out. Text with
// no timed line is plain lyrics, kept as it is apart from blank lines around it.
ParsedLyrics ParseLyrics(const QString& text);

}  // namespace mevra::download
