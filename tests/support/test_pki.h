#pragma once

#include <string>

#include "portal/certificate_maker.h"

namespace mevra::test {

// Certificates for TLS tests, made with OpenSSL when the tests run: a private CA that clients
// are told to trust, and server certificates for the loopback host, good ones and bad ones.
// One set per test process, its CA file in a temporary folder removed at exit.
class TestPki {
 public:
  static const TestPki& Shared();

  // The CA certificate as a PEM file, for a client's CA file setting.
  const std::string& CaFile() const { return ca_file_; }
  const portal::PemCertificate& Ca() const { return ca_; }
  // For 127.0.0.1 and localhost, issued by the CA.
  const portal::PemCertificate& Server() const { return server_; }
  // For other.test and 127.0.0.2, issued by the CA.
  const portal::PemCertificate& OtherHost() const { return other_host_; }
  // For 127.0.0.1 and localhost, issued by the CA, expired yesterday.
  const portal::PemCertificate& Expired() const { return expired_; }
  // For 127.0.0.1 and localhost, issued by the CA, valid from tomorrow.
  const portal::PemCertificate& NotYetValid() const { return not_yet_valid_; }
  // For 127.0.0.1 and localhost, signed by itself.
  const portal::PemCertificate& SelfSigned() const { return self_signed_; }

  TestPki(const TestPki&) = delete;
  TestPki& operator=(const TestPki&) = delete;
  ~TestPki();

 private:
  TestPki();

  std::string folder_;
  std::string ca_file_;
  portal::PemCertificate ca_;
  portal::PemCertificate server_;
  portal::PemCertificate other_host_;
  portal::PemCertificate expired_;
  portal::PemCertificate not_yet_valid_;
  portal::PemCertificate self_signed_;
};

}  // namespace mevra::test
