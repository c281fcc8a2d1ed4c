#pragma once

#include <QString>

#include "download/row_status.h"

namespace mevra::download {

// How a song download ended: the row's final status and, for a failed row, why.
struct JobResult {
  RowStatus status = RowStatus::kFailed;
  QString reason;
  // Where the song was saved; empty unless it succeeded.
  QString saved_path;
  // The save folder's disk is full: the batch cannot go on.
  bool out_of_space = false;

  QString RowText() const { return RowStatusText(status, reason); }
};

}  // namespace mevra::download
