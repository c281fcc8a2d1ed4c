#pragma once

#include <string>

#include "portal/certificate_maker.h"

namespace mevra::test {

// Certificates for TLS tests, made with OpenSSL when the tests run: private CAs that clients
// are told to trust, and server certificates for the loopback host, good ones and bad ones.
// One set per test process, its CA file in a temporary folder removed at exit.
class TestPki {
 public:
  static const TestPki& Shared();

  // Both CAs below as one PEM file, for a client's CA file setting.
  const std::string& CaFile() const { return ca_file_; }
  const portal::PemCertificate& Ca() const { return ca_; }
  // A second trusted CA, which may only issue certificates for localhost, 127.0.0.0/8 and ::1.
  const portal::PemCertificate& ConstrainedCa() const { return constrained_ca_; }
  // For 127.0.0.1, ::1 and localhost, issued by the CA.
  const portal::PemCertificate& Server() const { return server_; }
  // For other.test and 127.0.0.2, issued by the CA.
  const portal::PemCertificate& OtherHost() const { return other_host_; }
  // For 127.0.0.1 and localhost, issued by the CA, expired yesterday.
  const portal::PemCertificate& Expired() const { return expired_; }
  // For 127.0.0.1 and localhost, issued by the CA, valid from tomorrow.
  const portal::PemCertificate& NotYetValid() const { return not_yet_valid_; }
  // For 127.0.0.1 and localhost, signed by itself.
  const portal::PemCertificate& SelfSigned() const { return self_signed_; }
  // Names localhost in its subject's common name only, without subject alternative names.
  const portal::PemCertificate& CommonNameOnly() const { return common_name_only_; }
  // For 127.0.0.1 and localhost, with a 1024-bit RSA key.
  const portal::PemCertificate& WeakKey() const { return weak_key_; }
  // For 127.0.0.1 and localhost, signed with SHA-1.
  const portal::PemCertificate& Sha1Signed() const { return sha1_signed_; }
  // For w*.example, a wildcard inside a label.
  const portal::PemCertificate& PartialWildcard() const { return partial_wildcard_; }
  // For localhost and bank.example, issued by the constrained CA beyond its constraints.
  const portal::PemCertificate& BeyondConstraints() const { return beyond_constraints_; }
  // For localhost and 127.0.0.1, issued by the constrained CA within its constraints.
  const portal::PemCertificate& WithinConstraints() const { return within_constraints_; }

  TestPki(const TestPki&) = delete;
  TestPki& operator=(const TestPki&) = delete;
  ~TestPki();

 private:
  TestPki();

  std::string folder_;
  std::string ca_file_;
  portal::PemCertificate ca_;
  portal::PemCertificate constrained_ca_;
  portal::PemCertificate server_;
  portal::PemCertificate other_host_;
  portal::PemCertificate expired_;
  portal::PemCertificate not_yet_valid_;
  portal::PemCertificate self_signed_;
  portal::PemCertificate common_name_only_;
  portal::PemCertificate weak_key_;
  portal::PemCertificate sha1_signed_;
  portal::PemCertificate partial_wildcard_;
  portal::PemCertificate beyond_constraints_;
  portal::PemCertificate within_constraints_;
};

}  // namespace mevra::test
