#include "tests/support/test_pki.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace mevra::test {

namespace {
constexpr int64_t kDay = 24 * 3600;

portal::CertificateRequest Loopback(int64_t valid_from = -kDay, int64_t valid_to = 30 * kDay) {
  portal::CertificateRequest request;
  request.common_name = "127.0.0.1";
  request.dns_names = {"localhost"};
  request.ip_addresses = {"127.0.0.1", "::1"};
  request.valid_from = valid_from;
  request.valid_to = valid_to;
  return request;
}
}  // namespace

const TestPki& TestPki::Shared() {
  static const TestPki pki;
  return pki;
}

TestPki::TestPki() {
  char folder[] = "/tmp/mevra-test-pki-XXXXXX";
  if (::mkdtemp(folder) == nullptr) throw std::runtime_error("cannot create a folder for the CA");
  folder_ = folder;

  portal::CertificateRequest authority;
  authority.common_name = "Mevra test CA";
  authority.certificate_authority = true;
  authority.valid_from = -2 * kDay;
  authority.valid_to = 365 * kDay;
  ca_ = portal::MakeCertificate(authority);
  server_ = portal::MakeCertificate(Loopback(), &ca_);
  portal::CertificateRequest other = Loopback();
  other.common_name = "other.test";
  other.dns_names = {"other.test"};
  other.ip_addresses = {"127.0.0.2"};
  other_host_ = portal::MakeCertificate(other, &ca_);
  expired_ = portal::MakeCertificate(Loopback(-kDay, -kDay / 2), &ca_);
  not_yet_valid_ = portal::MakeCertificate(Loopback(kDay, 30 * kDay), &ca_);
  self_signed_ = portal::MakeCertificate(Loopback());

  portal::CertificateRequest common_name_only = Loopback();
  common_name_only.common_name = "localhost";
  common_name_only.dns_names.clear();
  common_name_only.ip_addresses.clear();
  common_name_only_ = portal::MakeCertificate(common_name_only, &ca_);
  portal::CertificateRequest weak = Loopback();
  weak.rsa_bits = 1024;
  weak_key_ = portal::MakeCertificate(weak, &ca_);
  portal::CertificateRequest sha1 = Loopback();
  sha1.digest = "SHA1";
  sha1_signed_ = portal::MakeCertificate(sha1, &ca_);
  portal::CertificateRequest wildcard = Loopback();
  wildcard.common_name = "w*.example";
  wildcard.dns_names = {"w*.example"};
  wildcard.ip_addresses.clear();
  partial_wildcard_ = portal::MakeCertificate(wildcard, &ca_);

  portal::CertificateRequest constrained = authority;
  constrained.common_name = "Mevra test loopback CA";
  constrained.permitted_names = {"DNS:localhost", "IP:127.0.0.0/255.0.0.0",
                                 "IP:::1/ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"};
  constrained_ca_ = portal::MakeCertificate(constrained);
  portal::CertificateRequest beyond = Loopback();
  beyond.dns_names = {"localhost", "bank.example"};
  beyond_constraints_ = portal::MakeCertificate(beyond, &constrained_ca_);
  within_constraints_ = portal::MakeCertificate(Loopback(), &constrained_ca_);

  ca_file_ = folder_ + "/ca.pem";
  std::ofstream(ca_file_) << ca_.certificate << constrained_ca_.certificate;
}

TestPki::~TestPki() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

}  // namespace mevra::test
