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
  request.ip_addresses = {"127.0.0.1"};
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

  ca_file_ = folder_ + "/ca.pem";
  std::ofstream(ca_file_) << ca_.certificate;
}

TestPki::~TestPki() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

}  // namespace mevra::test
