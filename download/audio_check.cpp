#include "download/audio_check.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace mevra::download {

bool IsNonAudioContentType(std::string_view content_type) {
  std::string type(content_type.substr(0, content_type.find(';')));
  type.erase(std::remove_if(type.begin(), type.end(),
                            [](unsigned char c) { return std::isspace(c) != 0; }),
             type.end());
  std::transform(type.begin(), type.end(), type.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return type.starts_with("text/") || type == "application/json" || type == "application/xml" ||
         type.find("html") != std::string::npos;
}

bool StartsLikeAudio(std::string_view first_bytes) {
  if (first_bytes.starts_with("ID3")) return true;
  // Eleven set bits open every MPEG audio frame.
  return first_bytes.size() >= 2 && static_cast<unsigned char>(first_bytes[0]) == 0xFF &&
         (static_cast<unsigned char>(first_bytes[1]) & 0xE0) == 0xE0;
}

}  // namespace mevra::download
