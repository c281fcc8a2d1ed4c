#pragma once

#include <cstdint>

// Every limit of the transport, named once.
namespace mevra::net {

// Longest line ReadLine accepts by default; no real header line comes near it.
constexpr int32_t kMaxLineLength = 16384;
// One receive call asks for this much, and ReadToStream consumes (and reports) blocks of it.
constexpr int32_t kRecvBufferSize = 32768;
// The largest receive block a tool takes on its command line (mevra-fetch --recv-buffer): a
// larger block only holds memory, it saves no calls.
constexpr int32_t kMaxRecvBufferSize = 64 * 1024 * 1024;
// Block size for sending a stream.
constexpr int32_t kSendBufferSize = 32768;
// Consumed bytes are left at the front of the input buffer until this many pile up, so reading
// small lines does not move the unread rest each time.
constexpr int64_t kCompactThreshold = 32768;
// Over TLS one socket read takes in up to this much: the records of two default receive blocks
// with their framing, so that however the records fall a block costs at most one socket read,
// rather than two per record (its header, then its body).
constexpr int32_t kTlsReadAheadBytes = 2 * kRecvBufferSize + 2048;
// A queue read to its end keeps storage up to this size for the next receive, so a transfer
// allocates nothing per block; storage grown beyond it by a one-off large read goes back.
constexpr int64_t kRetainedBufferBytes = 1024 * 1024;
// A declared length is trusted for pre-sizing the target stream only up to this much; beyond it
// the stream grows as bytes arrive, so a hostile length cannot make us allocate it up front.
constexpr int64_t kMaxPreallocation = 64LL * 1024 * 1024;
// A connect without an explicit limit gives up after two minutes.
constexpr int32_t kDefaultConnectTimeLimit = 120000;
// Longest single wait slice while an anti-freeze is in force.
constexpr int32_t kDefaultIdleTimeOut = 250;
// While a connect to one address of a host goes on, the next address gets its own attempt after
// this long (RFC 8305's connection attempt delay).
constexpr int32_t kConnectHeadStart = 250;
// The connect thread is looked at (and messages pumped) at least this often.
constexpr int32_t kConnectSliceMax = 125;
// A socket set of select holds at most this many sockets.
constexpr int32_t kMaxSocketSetSize = 64;
// PollForClose looks at the socket this long.
constexpr int32_t kPollForCloseTimeOut = 1;

// A proxy's answer to CONNECT is a status line and a few header lines; a head larger than this
// is no proxy's.
constexpr int32_t kMaxProxyHeadBytes = 16384;

}  // namespace mevra::net
