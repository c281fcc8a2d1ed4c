#pragma once

#include <cstddef>
#include <string_view>

namespace mevra::download {

// What a song's reply has to look like before a byte of it is kept: a portal that answers a
// file link with its sign-in page or an error text must not leave that behind as a song.

// The bytes at the start of a body that tell an MP3 file from anything else.
constexpr size_t kAudioSniffBytes = 3;

// Whether a Content-Type names something that is certainly no audio: text/*, application/json,
// application/xml or any kind of HTML. Parameters, case and blanks do not matter; an empty or
// unknown type is left to the bytes.
bool IsNonAudioContentType(std::string_view content_type);

// Whether a body beginning with `first_bytes` (kAudioSniffBytes, or fewer when the body is that
// short) is an MP3 file: an ID3v2 tag or an MPEG frame sync comes first.
bool StartsLikeAudio(std::string_view first_bytes);

}  // namespace mevra::download
