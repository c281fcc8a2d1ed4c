#pragma once

#include <cstddef>
#include <cstdint>

namespace mevra::http {

// Every limit of the HTTP client lives here, each with the reason it has the value it has.

// Fourteen follows per call are plenty for a download link that bounces through a few hosts;
// more is a loop.
constexpr int32_t kRedirectMaximum = 15;

// No real server sends more header lines than this in one response; a longer block is hostile.
constexpr int32_t kMaxHeaderLineCount = 256;

// Total bytes of the header lines of one response, line ends not counted. Four maximal lines of
// the transport's line limit fit; a larger block is a server gone wrong, not a real response.
constexpr size_t kMaxHeaderBlockBytes = 64 * 1024;

// The fold length of plain header lists, and that of the raw lists of the header records.
constexpr size_t kDefaultFoldLength = 78;
constexpr size_t kRawHeaderFoldLength = 1024;

// Credentials are offered this often after a 401 or 407 before the status counts as the answer;
// a server that refuses three attempts will not accept a fourth.
constexpr int32_t kAuthRetries = 3;

// A cookie store stays small whatever servers send: a cookie's text may take this many bytes,
// a domain this many cookies, the store this many in all; beyond them the oldest go first. These
// are the smallest numbers browsers must support, and more than any site of ours sets.
constexpr size_t kMaxCookieBytes = 4096;
constexpr size_t kMaxCookiesPerDomain = 50;
constexpr size_t kMaxCookies = 3000;

// An error body is only kept as the error's text; a megabyte shows any real server's page.
constexpr int64_t kMaxErrorBodyBytes = 1024 * 1024;

// Read time-outs (ms) for bodies nobody will use: that of a redirect, that of an error status.
constexpr int32_t kRedirectBodyTimeout = 4000;
constexpr int32_t kErrorBodyTimeout = 2000;

}  // namespace mevra::http
