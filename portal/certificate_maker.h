#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mevra::portal {

// A certificate and its private key, both as PEM text.
struct PemCertificate {
  std::string certificate;
  std::string key;
};

// What a new certificate says of itself.
struct CertificateRequest {
  std::string common_name;
  std::vector<std::string> dns_names;     // subject alternative names
  std::vector<std::string> ip_addresses;  // IPv4, as text
  // Validity from and to, in seconds from now (negative: in the past).
  int64_t valid_from = -3600;
  int64_t valid_to = 365LL * 24 * 3600;
  bool certificate_authority = false;
};

// Makes a new key (EC P-256) and a certificate for it, signed by `issuer` or, without one, by
// itself. Throws std::runtime_error naming what OpenSSL refused.
PemCertificate MakeCertificate(const CertificateRequest& request,
                               const PemCertificate* issuer = nullptr);

// Whether `certificate` (PEM) is still valid `margin_seconds` from now and, when `issuer` is
// given, was signed by the key of that certificate (PEM). False for text that is no certificate.
bool CertificateValidFor(const std::string& certificate, int64_t margin_seconds,
                         const std::string* issuer = nullptr);

// Whether `key` (PEM) is the private key of `certificate` (PEM).
bool KeyFitsCertificate(const std::string& key, const std::string& certificate);

}  // namespace mevra::portal
