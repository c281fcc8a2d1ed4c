#include "portal/request_counter.h"

namespace mevra::portal {

int RequestCounter::Next(const std::string& key) {
  std::lock_guard guard(lock_);
  return counts_[key]++;
}

void RequestCounter::Reset(const std::string& key) {
  std::lock_guard guard(lock_);
  counts_.erase(key);
}

}  // namespace mevra::portal
