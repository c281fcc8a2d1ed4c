#pragma once

#include <map>
#include <mutex>
#include <string>

namespace mevra::portal {

// Counts requests by key across the portal's worker threads, for the songs whose faults pass
// after a few requests.
class RequestCounter {
 public:
  // The number of requests counted for `key` before this one, which is counted now.
  int Next(const std::string& key);
  // Starts the count of `key` again, as after a download that was served whole.
  void Reset(const std::string& key);

 private:
  std::mutex lock_;
  std::map<std::string, int> counts_;
};

}  // namespace mevra::portal
