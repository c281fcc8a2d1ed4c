#pragma once

#include <string>

#include "net/net_error.h"

namespace mevra::net {

// The errors of TLS connections. Each refusal has a class of its own, so a caller can tell a
// certificate it should not trust from a server that cannot speak TLS at all. None of them ever
// leads to a plain-text retry.

// A TLS failure without a class of its own, such as a damaged record in the middle of a body.
class TlsError : public NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "TlsError"; }
};

// The extra CA bundle the client was given cannot be read.
class TlsCaFileError : public TlsError {
 public:
  TlsCaFileError(const std::string& path, const std::string& reason)
      : TlsError("Cannot load the CA file \"" + path + "\": " + reason) {}
  const char* ClassName() const override { return "TlsCaFileError"; }
};

// The server's certificate failed verification.
class TlsCertificateError : public TlsError {
 public:
  using TlsError::TlsError;
  const char* ClassName() const override { return "TlsCertificateError"; }
};

// No trusted authority vouches for the certificate; the reason is OpenSSL's.
class TlsCertificateUntrustedError : public TlsCertificateError {
 public:
  explicit TlsCertificateUntrustedError(const std::string& reason)
      : TlsCertificateError("TLS certificate not trusted: " + reason) {}
  const char* ClassName() const override { return "TlsCertificateUntrustedError"; }
};

// A trusted certificate that was issued for another host.
class TlsHostMismatchError : public TlsCertificateError {
 public:
  explicit TlsHostMismatchError(const std::string& host)
      : TlsCertificateError("TLS certificate does not match the host name \"" + host + "\"") {}
  const char* ClassName() const override { return "TlsHostMismatchError"; }
};

class TlsCertificateExpiredError : public TlsCertificateError {
 public:
  TlsCertificateExpiredError() : TlsCertificateError("TLS certificate has expired") {}
  const char* ClassName() const override { return "TlsCertificateExpiredError"; }
};

class TlsCertificateNotYetValidError : public TlsCertificateError {
 public:
  TlsCertificateNotYetValidError() : TlsCertificateError("TLS certificate is not yet valid") {}
  const char* ClassName() const override { return "TlsCertificateNotYetValidError"; }
};

// The server offers no protocol version we accept (TLS 1.2 or later).
class TlsProtocolVersionError : public TlsError {
 public:
  explicit TlsProtocolVersionError(const std::string& reason)
      : TlsError("TLS protocol version refused: the server offers no TLS 1.2 or later (" + reason +
                 ")") {}
  const char* ClassName() const override { return "TlsProtocolVersionError"; }
};

// The handshake broke down, for example because the peer answered with something that is no
// TLS at all; the reason is OpenSSL's.
class TlsHandshakeError : public TlsError {
 public:
  explicit TlsHandshakeError(const std::string& reason)
      : TlsError("TLS handshake failed: " + reason) {}
  const char* ClassName() const override { return "TlsHandshakeError"; }
};

// The peer closed the connection before the handshake was done.
class TlsHandshakeClosedError : public TlsError {
 public:
  TlsHandshakeClosedError() : TlsError("Connection closed during the TLS handshake") {}
  const char* ClassName() const override { return "TlsHandshakeClosedError"; }
};

// The handshake did not finish within the connect time limit. A kind of connect time-out, so a
// caller that handles those handles this one too.
class TlsHandshakeTimeoutError : public ConnectTimeoutError {
 public:
  TlsHandshakeTimeoutError() : ConnectTimeoutError("TLS handshake timed out.") {}
  const char* ClassName() const override { return "TlsHandshakeTimeoutError"; }
};

}  // namespace mevra::net
