#include "browser/certificate_trust.h"

#include <gtest/gtest.h>

#include <QSslCertificate>

#include "tests/support/test_pki.h"

namespace mevra::browser {
namespace {

using test::TestPki;

QList<QSslCertificate> Chain(const portal::PemCertificate& certificate) {
  return QSslCertificate::fromData(QByteArray::fromStdString(certificate.certificate), QSsl::Pem);
}

TEST(CertificateTrustTest, VouchesOnlyForItsOwnCertificatesOfTheRightHost) {
  const TestPki& pki = TestPki::Shared();
  struct Case {
    const char* name;
    const portal::PemCertificate& certificate;
    QString host;
    bool vouched;
  };
  const std::vector<Case> cases = {
      {"issued for the address", pki.Server(), "127.0.0.1", true},
      {"issued for the name", pki.Server(), "localhost", true},
      {"the name with a trailing dot", pki.Server(), "LocalHost.", true},
      {"issued for the IPv6 address", pki.Server(), "::1", true},
      {"another host", pki.Server(), "127.0.0.2", false},
      {"issued for another host", pki.OtherHost(), "127.0.0.1", false},
      // Valid for its host, but no endpoint of the program lies there.
      {"a host the program does not talk to", pki.OtherHost(), "other.test", false},
      {"expired", pki.Expired(), "127.0.0.1", false},
      {"not yet valid", pki.NotYetValid(), "127.0.0.1", false},
      {"signed by itself", pki.SelfSigned(), "127.0.0.1", false},
      // A CA certificate is no server's.
      {"the authority itself", pki.Ca(), "127.0.0.1", false},
      // The rules of the program's own client.
      {"the name in the common name only", pki.CommonNameOnly(), "localhost", false},
      {"a wildcard inside a label", pki.PartialWildcard(), "www.example", false},
      {"a 1024-bit RSA key", pki.WeakKey(), "127.0.0.1", false},
      {"signed with SHA-1", pki.Sha1Signed(), "127.0.0.1", false},
      {"within the CA's name constraints", pki.WithinConstraints(), "localhost", true},
      {"beyond the CA's name constraints", pki.BeyondConstraints(), "localhost", false},
  };
  ASSERT_TRUE(
      CertificateTrust::SetCaFile(QString::fromStdString(pki.CaFile()),
                                  {"127.0.0.1", "LOCALHOST", "::1", "www.example", "127.0.0.2."}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CertificateTrust::Vouches(Chain(c.certificate), c.host), c.vouched);
  }
  // Without a file nothing extra is trusted; a file without certificates trusts nothing.
  ASSERT_TRUE(CertificateTrust::SetCaFile("", {"127.0.0.1"}));
  EXPECT_FALSE(CertificateTrust::Vouches(Chain(pki.Server()), "127.0.0.1"));
  EXPECT_FALSE(CertificateTrust::SetCaFile("/nonexistent/ca.pem", {"127.0.0.1"}));
  EXPECT_FALSE(CertificateTrust::Vouches(Chain(pki.Server()), "127.0.0.1"));
  EXPECT_TRUE(CertificateTrust::CaFile().isEmpty());
}

}  // namespace
}  // namespace mevra::browser
