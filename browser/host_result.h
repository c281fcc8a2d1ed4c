#pragma once

#include <cstdint>

namespace mevra::browser {

// Result codes of the host's answers. They keep the numeric values the embedding protocol uses,
// so an answer reads the same here as it would to an engine of that protocol.
using HResult = std::int32_t;

constexpr HResult kS_OK = 0;
// "The host did nothing; the engine does its default."
constexpr HResult kS_FALSE = 1;
constexpr HResult kE_NOTIMPL = static_cast<HResult>(0x80004001u);
constexpr HResult kE_NOINTERFACE = static_cast<HResult>(0x80004002u);
constexpr HResult kE_FAIL = static_cast<HResult>(0x80004005u);
constexpr HResult kDISP_E_MEMBERNOTFOUND = static_cast<HResult>(0x80020003u);
constexpr HResult kOLECMDERR_E_NOTSUPPORTED = static_cast<HResult>(0x80040100u);

}  // namespace mevra::browser
