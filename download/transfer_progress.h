#pragma once

#include <cstdint>

namespace mevra::download {

// Where one transfer stands.
struct TransferProgress {
  int64_t bytes_done = 0;
  // The body's announced length; 0 when the server announced none (chunked, or until close).
  int64_t bytes_total = 0;
  double bytes_per_second = 0;
  // The transport's own count as its work events give it: the announced size of the running
  // span (a chunk's size for a chunked body) and the running count within that span.
  int32_t work_count_max = 0;
  int32_t work_count = 0;
};

}  // namespace mevra::download
