#include "download/transfer_failure.h"

#include <algorithm>
#include <cctype>

#include "download/download_error.h"
#include "download/limits.h"
#include "http/http_error.h"
#include "net/net_error.h"

namespace mevra::download {
namespace {

// Socket error codes of a peer that was there and may be again: network or host down or
// unreachable, connection reset or aborted, refused, timed out, shut down.
bool IsTransientSocketCode(int32_t code) {
  switch (code) {
    case 10050:  // network down
    case 10051:  // network unreachable
    case 10052:  // network dropped the connection
    case 10053:  // connection aborted
    case 10054:  // connection reset by peer
    case 10058:  // socket shut down
    case 10060:  // timed out
    case 10061:  // refused
    case 10064:  // host down
    case 10065:  // host unreachable
      return true;
    default:
      return false;
  }
}

// A threaded connect reports its failure as text, "Socket Error # 10061\r\n...".
std::optional<int32_t> SocketCodeIn(const std::string& text) {
  const std::string marker = "Socket Error # ";
  const size_t at = text.find(marker);
  if (at == std::string::npos) return std::nullopt;
  int32_t code = 0;
  size_t i = at + marker.size();
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && code < 100000;
       ++i) {
    code = code * 10 + (text[i] - '0');
  }
  return code;
}

}  // namespace

bool IsTransientFailure(const std::exception& error) {
  if (const auto* status = dynamic_cast<const http::HttpProtocolError*>(&error)) {
    const int32_t code = status->ErrorCode();
    return code >= 500 || code == 408 || code == 429;
  }
  if (const auto* socket = dynamic_cast<const net::SocketError*>(&error)) {
    return IsTransientSocketCode(socket->ErrorCode());
  }
  if (dynamic_cast<const net::ConnectError*>(&error)) {
    const std::optional<int32_t> code = SocketCodeIn(error.what());
    return code && IsTransientSocketCode(*code);
  }
  // The peer went quiet, or closed before the response, its body or the whole file was there.
  return dynamic_cast<const net::ConnectTimeoutError*>(&error) ||
         dynamic_cast<const net::ReadTimeoutError*>(&error) ||
         dynamic_cast<const net::ConnClosedGracefullyError*>(&error) ||
         dynamic_cast<const net::NotConnectedError*>(&error) ||
         dynamic_cast<const net::ClosedSocketError*>(&error) ||
         dynamic_cast<const http::IncompleteBodyError*>(&error) ||
         dynamic_cast<const IncompleteFileError*>(&error) ||
         dynamic_cast<const http::StatusLineError*>(&error);
}

std::optional<int64_t> RetryAfterMs(const std::string& value, http::DateTime now) {
  std::string text = value;
  text.erase(0, text.find_first_not_of(" \t"));
  text.erase(text.find_last_not_of(" \t") + 1);
  if (text.empty()) return std::nullopt;
  if (std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
    // Anything beyond a day is cut there; the caller caps the wait far lower anyway.
    if (text.size() > 6) return int64_t{86400} * 1000;
    return std::min<int64_t>(std::stoll(text), 86400) * 1000;
  }
  const std::optional<http::DateTime> when = http::ParseInternetDate(text);
  if (!when) return std::nullopt;
  const auto seconds = (*when - now).count();
  return std::clamp<int64_t>(seconds, 0, 86400) * 1000;
}

int64_t BackoffMs(int retry, int64_t base_ms) {
  int64_t wait = std::max<int64_t>(base_ms, 0);
  for (int i = 1; i < retry && wait < kMaxRetryWaitMs; ++i) wait *= 2;
  return std::min(wait, kMaxRetryWaitMs);
}

}  // namespace mevra::download
