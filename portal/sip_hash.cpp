#include "portal/sip_hash.h"

#include <bit>

namespace mevra::portal {
namespace {

uint64_t LoadLittleEndian(const uint8_t* p, size_t n) {
  uint64_t value = 0;
  for (size_t i = 0; i < n; ++i) value |= static_cast<uint64_t>(p[i]) << (8 * i);
  return value;
}

struct State {
  uint64_t v0, v1, v2, v3;

  void Round() {
    v0 += v1;
    v1 = std::rotl(v1, 13);
    v1 ^= v0;
    v0 = std::rotl(v0, 32);
    v2 += v3;
    v3 = std::rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = std::rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = std::rotl(v1, 17);
    v1 ^= v2;
    v2 = std::rotl(v2, 32);
  }

  void Absorb(uint64_t m) {
    v3 ^= m;
    Round();
    Round();
    v0 ^= m;
  }
};

}  // namespace

uint64_t SipHash24(const std::array<uint8_t, 16>& key, std::string_view data) {
  const uint64_t k0 = LoadLittleEndian(key.data(), 8);
  const uint64_t k1 = LoadLittleEndian(key.data() + 8, 8);
  State s{k0 ^ 0x736f6d6570736575ull, k1 ^ 0x646f72616e646f6dull, k0 ^ 0x6c7967656e657261ull,
          k1 ^ 0x7465646279746573ull};
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  const size_t whole = data.size() / 8 * 8;
  for (size_t i = 0; i < whole; i += 8) s.Absorb(LoadLittleEndian(bytes + i, 8));
  s.Absorb(LoadLittleEndian(bytes + whole, data.size() - whole) |
           (static_cast<uint64_t>(data.size() & 0xFF) << 56));
  s.v2 ^= 0xFF;
  for (int i = 0; i < 4; ++i) s.Round();
  return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

}  // namespace mevra::portal
