#include "net/tls_io_handler.h"

#include <algorithm>
#include <chrono>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "net/host_name.h"
#include "net/limits.h"
#include "net/net_error.h"
#include "net/net_stack.h"
#include "net/tls_context.h"
#include "net/tls_error.h"

namespace mevra::net {

namespace {

constexpr int32_t kNoLimit = NetStack::kNoTimeLimit;
// What a receive or send on a non-blocking socket gets when it would have to wait.
constexpr int32_t kWouldBlock = 10035;

using Channel = TlsIoHandler::Channel;

// The code of a failed socket call, read as the socket stack reads it; never raises, since the
// callers below are called from inside OpenSSL.
int32_t FailureCode(NetStack& stack, int32_t result) {
  try {
    stack.CheckSocketResult(result, {kWouldBlock});
    return stack.LastErrorCode();
  } catch (const SocketError& error) {
    return error.ErrorCode();
  }
}

int ChannelRead(BIO* bio, char* out, int length) {
  BIO_clear_retry_flags(bio);
  auto& channel = *static_cast<Channel*>(BIO_get_data(bio));
  NetStack& stack = *NetStack::SocketStack();
  const int32_t n = stack.Receive(channel.descriptor, out, length);
  if (n >= 0) return n;
  const int32_t code = FailureCode(stack, n);
  if (code == kWouldBlock) {
    BIO_set_retry_read(bio);
  } else {
    channel.socket_error = code;
  }
  return -1;
}

int ChannelWrite(BIO* bio, const char* bytes, int length) {
  BIO_clear_retry_flags(bio);
  auto& channel = *static_cast<Channel*>(BIO_get_data(bio));
  NetStack& stack = *NetStack::SocketStack();
  const int32_t n = stack.Send(channel.descriptor, bytes, length);
  if (n >= 0) return n;
  const int32_t code = FailureCode(stack, n);
  if (code == kWouldBlock) {
    BIO_set_retry_write(bio);
  } else {
    channel.socket_error = code;
  }
  return -1;
}

long ChannelControl(BIO*, int command, long, void*) {
  // Sends leave at once, so there is never anything to flush.
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int ChannelCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

// The TLS layer's view of a socket: reads and writes through the socket stack, so every socket
// call keeps its error codes and never raises SIGPIPE.
BIO_METHOD* ChannelMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket stack");
    BIO_meth_set_read(m, ChannelRead);
    BIO_meth_set_write(m, ChannelWrite);
    BIO_meth_set_ctrl(m, ChannelControl);
    BIO_meth_set_create(m, ChannelCreate);
    return m;
  }();
  return method;
}

// What is left of a time limit that several waits share; kNoLimit stays without limit.
class Deadline {
 public:
  explicit Deadline(int32_t ms)
      : unlimited_(ms == kNoLimit),
        end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0))) {}

  int32_t Left() const {
    if (unlimited_) return kNoLimit;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
    return static_cast<int32_t>(std::max<int64_t>(left.count(), 0));
  }

 private:
  bool unlimited_;
  std::chrono::steady_clock::time_point end_;
};

bool IsVersionRefusal(unsigned long error) {
  if (ERR_GET_LIB(error) != ERR_LIB_SSL) return false;
  const int reason = ERR_GET_REASON(error);
  return reason == SSL_R_UNSUPPORTED_PROTOCOL || reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION ||
         reason == SSL_R_NO_PROTOCOLS_AVAILABLE;
}

}  // namespace

TlsIoHandler::TlsIoHandler(std::shared_ptr<TlsContext> context) : context_(std::move(context)) {}

TlsIoHandler::~TlsIoHandler() { FreeSession(); }

void TlsIoHandler::FreeSession() {
  if (ssl_ == nullptr) return;
  // The close alert tells the peer the stream ends here on purpose. It goes once, without
  // waiting for the socket or for the peer's answer.
  if (HasOpenSocket() && SSL_is_init_finished(ssl_)) {
    ClearErrors();
    SSL_shutdown(ssl_);
  }
  SSL_free(ssl_);
  ssl_ = nullptr;
  ERR_clear_error();
}

void TlsIoHandler::CloseBinding() {
  FreeSession();
  SocketIoHandler::CloseBinding();
}

void TlsIoHandler::PrepareBinding() {
  FreeSession();
  end_ = End::kNone;
  without_alert_ = false;
  SocketIoHandler::PrepareBinding();
}

void TlsIoHandler::EstablishClient(const std::string& host, int32_t port, int32_t timeout,
                                   int32_t port_max, int32_t port_min, int32_t bound_port,
                                   const std::string& bound_ip) {
  // Taken before the connect: the connect and the handshake share one limit.
  const Deadline deadline(timeout == -1 || timeout == 0 ? ConnectTimeLimit() : timeout);
  FreeSession();
  end_ = End::kNone;
  without_alert_ = false;
  SocketIoHandler::EstablishClient(host, port, timeout, port_max, port_min, bound_port, bound_ip);
  Handshake(host, deadline.Left());
}

void TlsIoHandler::Handshake(const std::string& host, int32_t limit) {
  const Deadline deadline(limit);
  ssl_ = SSL_new(context_->Native());
  BIO* bio = ssl_ != nullptr ? BIO_new(ChannelMethod()) : nullptr;
  if (bio == nullptr) throw TlsError("Cannot set up TLS: " + TlsContext::LastErrorText());
  channel_.descriptor = Handle()->Descriptor();
  BIO_set_data(bio, &channel_);
  SSL_set_bio(ssl_, bio, bio);
  // One socket read takes in as many records as a receive block holds, instead of a header and
  // a record body per read.
  SSL_set_read_ahead(ssl_, 1);
  SSL_set_default_read_buffer_len(ssl_, kTlsReadAheadBytes);
  // Waits belong to the wait slices, which pump messages; the TLS layer must never block.
  Handle()->SetNonBlocking(true);

  // "host.example." is the host "host.example": its certificate does not name the dot.
  const std::string name = WithoutTrailingDot(host);
  if (IsAddressLiteral(name)) {
    // An address is checked against the certificate's address entries and never sent as a
    // server name.
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), name.c_str());
  } else {
    SSL_set_tlsext_host_name(ssl_, name.c_str());
    // As browsers check: a wildcard stands for a whole label, and only the subject alternative
    // names count, never the subject's common name.
    SSL_set_hostflags(ssl_,
                      X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
    SSL_set1_host(ssl_, name.c_str());
  }
  SSL_set_connect_state(ssl_);

  for (;;) {
    ClearErrors();
    const int result = SSL_do_handshake(ssl_);
    if (result == 1) return;
    const int error = SSL_get_error(ssl_, result);
    if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) FailHandshake(error, host);
    const int32_t left = deadline.Left();
    bool answered = false;
    if (left != 0) {
      try {
        answered = WaitFor(left, error == SSL_ERROR_WANT_WRITE);
      } catch (const ConnClosedGracefullyError&) {
        // A pumped handler closed this handler, freeing the session: the connect cannot go on,
        // as when it closes a connect in progress.
        throw ClosedSocketError();
      }
    }
    if (!answered) throw TlsHandshakeTimeoutError();
  }
}

void TlsIoHandler::FailHandshake(int ssl_error, const std::string& host) {
  const long verified = SSL_get_verify_result(ssl_);
  const unsigned long error = ERR_peek_error();
  const int32_t socket_error = channel_.socket_error;
  const std::string reason = TlsContext::LastErrorText();
  if (verified != X509_V_OK) {
    switch (verified) {
      case X509_V_ERR_HOSTNAME_MISMATCH:
      case X509_V_ERR_IP_ADDRESS_MISMATCH:
        throw TlsHostMismatchError(host);
      case X509_V_ERR_CERT_HAS_EXPIRED:
        throw TlsCertificateExpiredError();
      case X509_V_ERR_CERT_NOT_YET_VALID:
        throw TlsCertificateNotYetValidError();
      default:
        throw TlsCertificateUntrustedError(X509_verify_cert_error_string(verified));
    }
  }
  if (ssl_error == SSL_ERROR_SYSCALL && socket_error != 0)
    NetStack::RaiseSocketFailure(socket_error);
  if (ssl_error == SSL_ERROR_SYSCALL || ssl_error == SSL_ERROR_ZERO_RETURN ||
      (ERR_GET_LIB(error) == ERR_LIB_SSL &&
       ERR_GET_REASON(error) == SSL_R_UNEXPECTED_EOF_WHILE_READING)) {
    throw TlsHandshakeClosedError();
  }
  if (IsVersionRefusal(error)) throw TlsProtocolVersionError(reason);
  throw TlsHandshakeError(reason);
}

void TlsIoHandler::ClearErrors() {
  ERR_clear_error();
  channel_.socket_error = 0;
}

bool TlsIoHandler::NeedsSocket(int result, bool& want_write) {
  const int error = SSL_get_error(ssl_, result);
  if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
    want_write = error == SSL_ERROR_WANT_WRITE;
    return true;
  }
  const unsigned long reason = ERR_peek_error();
  if (error == SSL_ERROR_SYSCALL && channel_.socket_error != 0) {
    end_ = End::kSocketError;
    end_code_ = channel_.socket_error;
  } else if (error == SSL_ERROR_ZERO_RETURN) {
    end_ = End::kClosed;
  } else if (error == SSL_ERROR_SYSCALL ||
             (ERR_GET_LIB(reason) == ERR_LIB_SSL &&
              ERR_GET_REASON(reason) == SSL_R_UNEXPECTED_EOF_WHILE_READING)) {
    // A close without the alert still ends the stream; the framing above decides whether what
    // came is whole.
    ERR_clear_error();
    end_ = End::kClosed;
    without_alert_ = true;
  } else {
    end_ = End::kTlsError;
    end_text_ = TlsContext::LastErrorText();
  }
  return false;
}

int32_t TlsIoHandler::ReportEnd() {
  switch (end_) {
    case End::kSocketError:
      return NetStack::ReportFailure(end_code_);
    case End::kTlsError:
      throw TlsError("TLS error while receiving: " + end_text_);
    case End::kNone:
    case End::kClosed:
      break;
  }
  return 0;
}

bool TlsIoHandler::WaitReadable(int32_t ms) {
  if (!HasOpenSocket() || ssl_ == nullptr) throw ConnClosedGracefullyError();
  const Deadline deadline(ms);
  for (;;) {
    if (end_ != End::kNone || SSL_pending(ssl_) > 0) return true;
    // A look at the next byte makes the TLS layer take in a whole record, or tell why it
    // cannot; the byte stays for the receive.
    char probe;
    ClearErrors();
    const int n = SSL_peek(ssl_, &probe, 1);
    if (n > 0) return true;
    bool want_write = false;
    if (!NeedsSocket(n, want_write)) return true;
    // Not a whole record yet. The wait may run a handler that closes this handler; it then
    // raises, and the freed session is not touched again.
    if (!WaitFor(deadline.Left(), want_write)) return false;
  }
}

int32_t TlsIoHandler::ReadDecrypted(void* buffer, int32_t length, bool& want_write) {
  auto* out = static_cast<char*>(buffer);
  int32_t total = 0;
  while (total < length && end_ == End::kNone) {
    ClearErrors();
    const int n = SSL_read(ssl_, out + total, length - total);
    if (n > 0) {
      total += n;
      continue;
    }
    if (!NeedsSocket(n, want_write) || total > 0) break;
    return kNothingYet;
  }
  return total > 0 ? total : ReportEnd();
}

int32_t TlsIoHandler::ReceiveBytes(void* buffer, int32_t length) {
  if (!HasOpenSocket() || ssl_ == nullptr) throw ClosedSocketError();
  if (length <= 0) return 0;
  for (;;) {
    bool want_write = false;
    const int32_t n = ReadDecrypted(buffer, length, want_write);
    if (n != kNothingYet) return n;
    // Only a caller that did not wait first gets here: it waits as a plain receive blocks,
    // without pumping.
    Handle()->Select(kNoLimit, want_write);
  }
}

int32_t TlsIoHandler::ReceiveAvailable(void* buffer, int32_t length) {
  if (!HasOpenSocket() || ssl_ == nullptr) throw ClosedSocketError();
  if (length <= 0) return 0;
  bool want_write = false;
  return ReadDecrypted(buffer, length, want_write);
}

int32_t TlsIoHandler::SendBytes(const void* buffer, int32_t length) {
  if (!HasOpenSocket() || ssl_ == nullptr) throw ClosedSocketError();
  if (length <= 0) return 0;
  for (;;) {
    ClearErrors();
    const int n = SSL_write(ssl_, buffer, length);
    if (n > 0) return n;
    const int error = SSL_get_error(ssl_, n);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
      // As a plain send blocks until the socket takes bytes, without pumping.
      Handle()->Select(kNoLimit, error == SSL_ERROR_WANT_WRITE);
      continue;
    }
    if (error == SSL_ERROR_SYSCALL && channel_.socket_error != 0) {
      return NetStack::ReportFailure(channel_.socket_error);
    }
    // The peer has closed its side: a send of nothing tells the connection so.
    if (error == SSL_ERROR_ZERO_RETURN || error == SSL_ERROR_SYSCALL) return 0;
    throw TlsError("TLS error while sending: " + TlsContext::LastErrorText());
  }
}

std::string TlsIoHandler::ProtocolVersion() const {
  return ssl_ != nullptr && HasOpenSocket() ? SSL_get_version(ssl_) : "";
}

}  // namespace mevra::net
