#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "http/internet_date.h"

namespace mevra::download {

// Whether a failed exchange may well succeed when tried again a little later: the peer refused
// or did not answer the connect, reset the connection or closed it early, or answered 5xx, 408
// or 429, or sent a range that stopped short of the file's end. Anything else (another client
// error, a broken response, a file that cannot be written) fails the same way every time.
bool IsTransientFailure(const std::exception& error);

// A Retry-After value as a wait in milliseconds: delay seconds, or an HTTP date (a date in the
// past means no wait). nullopt when the text is neither.
std::optional<int64_t> RetryAfterMs(const std::string& value, http::DateTime now);

// The wait before retry number `retry` (1 for the first): `base_ms`, then twice that, four
// times ..., never longer than kMaxRetryWaitMs.
int64_t BackoffMs(int retry, int64_t base_ms);

}  // namespace mevra::download
