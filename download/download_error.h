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

}  // namespace mevra::download
