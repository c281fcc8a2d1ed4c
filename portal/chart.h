#pragma once

#include <string>
#include <vector>

namespace mevra::portal {

// One chart page of the music host: /top/<key>.
struct Chart {
  std::string key;
  std::string name;                   // display name shown on the page
  std::vector<std::string> song_ids;  // in page order
};

}  // namespace mevra::portal
