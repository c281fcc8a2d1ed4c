#pragma once

namespace mevra::browser {

// How long PageText waits for the engine to serialise the document. A page that is busy, gone or
// navigating away never answers; the caller then gets no text instead of a hung window.
constexpr int kPageTextTimeoutMs = 5000;

}  // namespace mevra::browser
