#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mevra::portal {

// Signs file links so they work without the browser's cookies: only a page shown to a
// signed-in user contains the token, and the token cannot be made up for another song or rate.
// The key is random per process, so links from an earlier run stop working.
class LinkSigner {
 public:
  LinkSigner();  // random key
  explicit LinkSigner(const std::array<uint8_t, 16>& key);

  // 16 lowercase hexadecimal digits.
  std::string Token(std::string_view song_id, int rate) const;
  // Compares in constant time, so the answer's timing does not reveal a correct prefix.
  bool Verify(std::string_view song_id, int rate, std::string_view token) const;

 private:
  std::array<uint8_t, 16> key_;
};

}  // namespace mevra::portal
