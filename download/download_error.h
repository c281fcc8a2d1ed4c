#pragma once

#include <string>

#include "net/net_error.h"

namespace mevra::download {

// The errors a transfer of the download engine raises on top of the HTTP client's. They are
// small and always travel together, so they share one header, as the client's do.

// The disk filled up (or a file-size limit was reached) while the body was being written.
class DiskFullError : public net::StreamError {
 public:
  using StreamError::StreamError;
  const char* ClassName() const override { return "DiskFullError"; }
};

// The save folder's free space is below what the announced body and the margin need; nothing of
// the body was written.
class NotEnoughSpaceError : public net::StreamError {
 public:
  using StreamError::StreamError;
  const char* ClassName() const override { return "NotEnoughSpaceError"; }
};

// A resumed body that does not continue the partial file: another start, or another file.
class RangeMismatchError : public net::NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "RangeMismatchError"; }
};

// Another program holds the partial file locked: it is downloading the same song into it.
class PartLockedError : public net::StreamError {
 public:
  using StreamError::StreamError;
  const char* ClassName() const override { return "PartLockedError"; }
};

// The body ended, but the file is shorter than the whole file the server announced (a range that
// stopped short): what came is kept, and the next try continues after it.
class IncompleteFileError : public net::NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "IncompleteFileError"; }
};

// The server answered with something other than audio: a web page, a text, or bytes that begin
// like no MP3 file.
class NotAudioError : public net::NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "NotAudioError"; }
};

}  // namespace mevra::download
