#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace mevra::browser {

// The one extra certificate authority the program's browsers trust besides the engine's own,
// such as a private portal's. The engine asks about a certificate it does not trust; the host
// overrides its refusal only when the server's chain verifies against this authority and is
// valid for the host asked for, and the engine's own error page shows otherwise. Process-wide,
// as the browsers share one profile.
class CertificateTrust {
 public:
  // Trusts the certificates in `path` (PEM) from now on; an empty path trusts nothing extra.
  // False, and nothing trusted, when the file holds no certificate.
  static bool SetCaFile(const QString& path);
  static QString CaFile();

  // Whether `chain` (the server's certificate first, as the engine reports it) is issued by the
  // trusted authority, valid now, fit for a server, and made for `host` (a name or an IPv4
  // address).
  static bool Vouches(const QList<QSslCertificate>& chain, const QString& host);
};

}  // namespace mevra::browser
