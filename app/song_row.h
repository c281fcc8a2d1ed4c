#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "download/row_status.h"

namespace mevra::app {

// One song of the song list, as the list and the session keep it.
struct SongRow {
  // The row's handle, given by the list when the row goes in and never given again while the
  // program runs, so a batch can find its rows, or learn that they are gone, without indexes.
  int key = -1;
  QString id;
  QString title;
  QString singer;
  // The title of the page it was harvested from; not kept by the session.
  QString page;
  bool ticked = false;
  download::RowStatus status = download::RowStatus::kWaiting;
  QString reason;  // of a failed or stopped row
  // Its transfer was under way when the program ended; it reads "未完成" until it runs again.
  bool unfinished = false;
  // The try a row waiting for a retry waits for, of how many.
  int16_t retry = 0;
  int16_t retries = 0;
  // A file coming in: the bar's fill (0 to 100, -1 for an unknown length) and its text. An empty
  // text means no bar.
  int16_t percent = -1;
  QString progress_text;
};

// The status as the session file spells it, so that the file does not depend on the order of
// the enumeration.
QString RowStatusCode(download::RowStatus status);
std::optional<download::RowStatus> RowStatusFromCode(const QString& code);

}  // namespace mevra::app
