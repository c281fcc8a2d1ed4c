#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/socket_io_handler.h"

struct ssl_st;

namespace mevra::net {

class TlsContext;

// The I/O handler of https: a socket I/O handler whose bytes go through TLS. The connect is the
// socket handler's; the handshake follows within the same time limit, pumping messages as the
// connect does. Waits for data are the socket handler's waits, taken as often as the TLS layer
// needs more bytes for a whole record, so time-outs, pumping and a close from a pumped handler
// behave as over plain TCP. The certificate must be trusted and issued for the host asked for;
// any failure of the handshake raises one of the TLS errors before a byte of the request goes.
class TlsIoHandler : public SocketIoHandler {
 public:
  explicit TlsIoHandler(std::shared_ptr<TlsContext> context);
  ~TlsIoHandler() override;

  void CloseBinding() override;
  // The connect, then the handshake; both together within the connect's time limit (a connect
  // without a limit still gives the handshake the default one).
  void EstablishClient(const std::string& host, int32_t port, int32_t timeout, int32_t port_max,
                       int32_t port_min, int32_t bound_port, const std::string& bound_ip) override;
  void PrepareBinding() override;
  // True once decrypted data, the peer's close or a failure can be told by ReceiveBytes.
  bool WaitReadable(int32_t ms) override;
  // Decrypted bytes; 0 after the peer's close; -1 with the socket error code pending after a
  // failed socket call. A damaged stream raises TlsError.
  int32_t ReceiveBytes(void* buffer, int32_t length) override;
  // The records that have come, decrypted straight into `buffer`; kNothingYet before a whole
  // record is there.
  int32_t ReceiveAvailable(void* buffer, int32_t length) override;
  int32_t SendBytes(const void* buffer, int32_t length) override;
  bool UsesTls() const override { return true; }
  bool EndedWithoutCloseAlert() const override { return without_alert_; }

  // The protocol of the open connection ("TLSv1.3"), empty without one.
  std::string ProtocolVersion() const;

  // The socket as the TLS layer sees it; every call on it goes through the socket stack.
  struct Channel {
    int descriptor = -1;
    int32_t socket_error = 0;  // the code of the last failed socket call, 0 when none
  };

 private:
  // How the stream ended: found by a wait, told by the next receive.
  enum class End { kNone, kClosed, kSocketError, kTlsError };

  void Handshake(const std::string& host, int32_t limit);
  [[noreturn]] void FailHandshake(int ssl_error, const std::string& host);
  void FreeSession();
  void ClearErrors();
  // After an SSL call returned `result` <= 0: true when it only waits for the socket
  // (`want_write` says for what); otherwise the stream's end is noted.
  bool NeedsSocket(int result, bool& want_write);
  // As many decrypted bytes as have come, up to `length`; kNothingYet when the TLS layer needs
  // the socket first (`want_write` says for what).
  int32_t ReadDecrypted(void* buffer, int32_t length, bool& want_write);
  int32_t ReportEnd();

  std::shared_ptr<TlsContext> context_;
  ssl_st* ssl_ = nullptr;
  Channel channel_;
  End end_ = End::kNone;
  bool without_alert_ = false;
  int32_t end_code_ = 0;
  std::string end_text_;
};

}  // namespace mevra::net
