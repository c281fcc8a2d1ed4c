#include "portal/link_signer.h"

#include <random>

#include "portal/sip_hash.h"

namespace mevra::portal {

LinkSigner::LinkSigner() {
  std::random_device device;
  for (auto& byte : key_) byte = static_cast<uint8_t>(device());
}

LinkSigner::LinkSigner(const std::array<uint8_t, 16>& key) : key_(key) {}

std::string LinkSigner::Token(std::string_view song_id, int rate) const {
  const std::string message = std::string(song_id) + "/" + std::to_string(rate);
  const uint64_t mac = SipHash24(key_, message);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token(16, '0');
  for (int i = 0; i < 16; ++i) token[i] = kHex[(mac >> (60 - 4 * i)) & 0xF];
  return token;
}

bool LinkSigner::Verify(std::string_view song_id, int rate, std::string_view token) const {
  const std::string expected = Token(song_id, rate);
  if (token.size() != expected.size()) return false;
  unsigned diff = 0;
  for (size_t i = 0; i < expected.size(); ++i)
    diff |= static_cast<unsigned>(token[i] ^ expected[i]);
  return diff == 0;
}

}  // namespace mevra::portal
