#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace mevra::portal {

// SipHash-2-4: a keyed 64-bit hash, strong enough to sign links with a secret key.
uint64_t SipHash24(const std::array<uint8_t, 16>& key, std::string_view data);

}  // namespace mevra::portal
