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
  std::vector<std::string> ip_addresses;  // IPv4 or IPv6, as text
  // Validity from and to, in seconds from now (negative: in the past).
  int64_t valid_from = -3600;
  int64_t valid_to = 365LL * 24 * 3600;
  bool certificate_authority = false;
  // How many authorities may stand between a CA and the certificates it issues.
  int path_length = 0;
  // The only names a CA may issue certificates for, as a critical name-constraints extension:
  // "DNS:localhost", "IP:127.0.0.0/255.0.0.0" and the like. Empty: no constraints.
  std::vector<std::string> permitted_names = {};
  // 0: an EC P-256 key; otherwise an RSA key of this many bits.
  int rsa_bits = 0;
  // The digest of the signature ("SHA256", "SHA1", ...).
  std::string digest = "SHA256";
};

// Makes a new key and a certificate for it, signed by `issuer` or, without one, by itself.
// Throws std::runtime_error naming what OpenSSL refused.
PemCertificate MakeCertificate(const CertificateRequest& request,
                               const PemCertificate* issuer = nullptr);

// Whether `certificate` (PEM) is still valid `margin_seconds` from now and, when `issuer` is
// given, was signed by the key of that certificate (PEM). False for text that is no certificate.
bool CertificateValidFor(const std::string& certificate, int64_t margin_seconds,
                         const std::string* issuer = nullptr);

// Whether `key` (PEM) is the private key of `certificate` (PEM).
bool KeyFitsCertificate(const std::string& key, const std::string& certificate);

// Whether `certificate` (PEM) carries a name-constraints extension marked critical, so that what
// its key signs is good for the permitted names alone.
bool HasCriticalNameConstraints(const std::string& certificate);

}  // namespace mevra::portal
