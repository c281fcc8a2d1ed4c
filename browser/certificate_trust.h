#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

namespace mevra::browser {

// The one extra certificate authority the program's browsers trust besides the engine's own,
// such as a private portal's, and only for the hosts the program is configured to talk to. The
// engine asks about a certificate it does not trust; the host overrides its refusal only when the
// page's host is one of those, and the server's chain verifies against this authority with the
// rules of the program's own HTTP client; the engine's own error page shows otherwise.
// Process-wide, as the browsers share one profile.
class CertificateTrust {
 public:
  // Trusts the certificates in `path` (PEM) from now on for `hosts` (names or addresses, any
  // case, a trailing dot ignored); an empty path trusts nothing extra. False, and nothing
  // trusted, when the file holds no certificate.
  static bool SetCaFile(const QString& path, const QStringList& hosts);
  static QString CaFile();

  // Whether `host` (a name, an IPv4 or an IPv6 address) is one of the trusted hosts and `chain`
  // (the server's certificate first, as the engine reports it) is issued by the trusted
  // authority, valid now, fit for a server and made for `host`: by a subject alternative name
  // (a wildcard standing for a whole label only), never by the subject's common name, and
  // without keys or signatures weaker than 112 bits (no RSA-1024, no SHA-1).
  static bool Vouches(const QList<QSslCertificate>& chain, const QString& host);
};

}  // namespace mevra::browser
