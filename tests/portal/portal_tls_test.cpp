// The portal over HTTPS with its own CA: the certificates it keeps, and its hosts served to a
// client that trusts that CA and nothing else.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "portal/catalog.h"
#include "portal/certificate_maker.h"
#include "portal/html_text.h"
#include "portal/return_url.h"
#include "portal/song_file_cache.h"
#include "portal/tls_files.h"
#include "tests/portal/portal_process.h"
#include "tests/portal/portal_test_support.h"

namespace mevra::portal {
namespace {

using testing::PortalProcess;

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class TemporaryFolder {
 public:
  TemporaryFolder() {
    char name[] = "/tmp/mevra-portal-tls-XXXXXX";
    if (mkdtemp(name) == nullptr) throw std::runtime_error("cannot create a folder");
    path_ = name;
  }
  ~TemporaryFolder() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

TEST(PortalTlsFilesTest, AreKeptAndMadeAnewWhenTheyNoLongerServe) {
  TemporaryFolder folder;
  const TlsFiles files = EnsureTlsFiles(folder.path());
  const std::string ca = Slurp(files.ca_certificate);
  const std::string server = Slurp(files.certificate);
  ASSERT_TRUE(CertificateValidFor(server, 300LL * 24 * 3600, &ca));
  EXPECT_TRUE(KeyFitsCertificate(Slurp(files.key), server));
  // Keys are the owner's alone.
  const auto key_permissions = std::filesystem::status(files.key).permissions();
  EXPECT_EQ(
      key_permissions & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
      std::filesystem::perms::none);

  struct Case {
    const char* name;
    std::function<void()> change;
    bool new_ca;
    bool new_server;
  };
  const auto write = [](const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  };
  const PemCertificate ca_pair{ca, Slurp(folder.path() / "ca-key.pem")};
  CertificateRequest expiring;
  expiring.common_name = "127.0.0.1";
  expiring.ip_addresses = {"127.0.0.1"};
  expiring.valid_to = 3600;  // within the renewal margin
  const std::vector<Case> cases = {
      {"nothing changed", [] {}, false, false},
      {"server certificate about to expire",
       [&] {
         const PemCertificate soon = MakeCertificate(expiring, &ca_pair);
         write(files.certificate, soon.certificate);
         write(files.key, soon.key);
       },
       false, true},
      {"server key of another certificate",
       [&] { write(files.key, MakeCertificate(expiring).key); }, false, true},
      {"server certificate from another CA",
       [&] {
         const PemCertificate other = MakeCertificate(expiring);
         write(files.certificate,
               MakeCertificate({"127.0.0.1", {}, {"127.0.0.1"}}, &other).certificate);
       },
       false, true},
      {"CA expired",
       [&] {
         CertificateRequest old_ca;
         old_ca.common_name = "old";
         old_ca.certificate_authority = true;
         old_ca.valid_from = -7200;
         old_ca.valid_to = -3600;
         const PemCertificate expired = MakeCertificate(old_ca);
         write(files.ca_certificate, expired.certificate);
         write(folder.path() / "ca-key.pem", expired.key);
       },
       true, true},
      {"CA file garbage", [&] { write(files.ca_certificate, "garbage"); }, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string ca_before = Slurp(files.ca_certificate);
    const std::string server_before = Slurp(files.certificate);
    c.change();
    EnsureTlsFiles(folder.path());
    const std::string ca_after = Slurp(files.ca_certificate);
    const std::string server_after = Slurp(files.certificate);
    EXPECT_EQ(ca_after != ca_before, c.new_ca);
    if (c.new_server) {
      EXPECT_TRUE(CertificateValidFor(server_after, 300LL * 24 * 3600, &ca_after));
      EXPECT_TRUE(KeyFitsCertificate(Slurp(files.key), server_after));
    } else {
      EXPECT_EQ(server_after, server_before);
    }
  }
}

TEST(ReturnUrlTest, ATlsPortalSendsBrowsersOnlyToHttps) {
  EXPECT_TRUE(IsSafeReturnUrl("https://127.0.0.1:18082/top/new/", true));
  EXPECT_TRUE(IsSafeReturnUrl("https://localhost/", true));
  EXPECT_FALSE(IsSafeReturnUrl("http://127.0.0.1:18082/top/new/", true));
  EXPECT_FALSE(IsSafeReturnUrl("https://example.com/", true));
}

// The portal's own CA alone makes its hosts trusted; the sign-in, the download page, the signed
// link and its redirect all stay on https.
TEST(PortalTlsTest, ServesItsHostsOverHttpsWithItsOwnCa) {
  PortalProcess portal(
      PortalProcess::Options{{"--tls"}, MEVRA_PORTAL_TEST_CACHE, std::chrono::milliseconds(20000)});
  EXPECT_EQ(std::filesystem::path(portal.ca_file()),
            std::filesystem::path(MEVRA_PORTAL_TEST_CACHE) / "tls" / "ca.pem");
  EXPECT_EQ(portal.MusicBaseUrl().rfind("https://127.0.0.1:", 0), 0u);
  const auto client = [&](int port, const std::string& host = "127.0.0.1") {
    auto c = std::make_unique<httplib::SSLClient>(host, port);
    c->set_ca_cert_path(portal.ca_file().c_str());
    c->enable_server_certificate_verification(true);
    return c;
  };

  {
    // Without the CA the certificate is not trusted.
    httplib::SSLClient untrusting("127.0.0.1", portal.home_port());
    untrusting.enable_server_certificate_verification(true);
    untrusting.set_ca_cert_path("/nonexistent");
    EXPECT_FALSE(untrusting.Get("/"));
    // Nor does the port speak plain HTTP.
    httplib::Client plain("127.0.0.1", portal.home_port());
    auto answer = plain.Get("/");
    EXPECT_TRUE(!answer || answer->status != 200);
  }
  EXPECT_TRUE(client(portal.home_port(), "localhost")->Get("/"));

  const std::string back = portal.MusicBaseUrl() + "/top/new/";
  auto signed_in =
      client(portal.login_port())
          ->Post("/v2/?login&tpl=mn",
                 httplib::Params{{"username", "demo"}, {"password", "demo"}, {"u", back}});
  ASSERT_TRUE(signed_in);
  EXPECT_EQ(signed_in->status, 302);
  EXPECT_EQ(signed_in->get_header_value("Location"), back);
  const std::string cookie = signed_in->get_header_value("Set-Cookie")
                                 .substr(0, signed_in->get_header_value("Set-Cookie").find(';'));

  auto page = client(portal.music_port())
                  ->Get(("/song/" + std::string(kRedirectSongId) + "/download").c_str(),
                        httplib::Headers{{"Cookie", cookie}});
  ASSERT_TRUE(page);
  const std::string link = testing::LinkForRate(page->body, 128);
  ASSERT_FALSE(link.empty());
  auto music = client(portal.music_port());
  auto moved = music->Get(link.c_str());
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->status, 302);
  music->set_follow_location(true);
  auto file = music->Get(link.c_str());
  ASSERT_TRUE(file);
  EXPECT_EQ(file->status, 200);
  EXPECT_EQ(file->body, EncodedSongBytes(*FindSong(kRedirectSongId), 128, MEVRA_PORTAL_TEST_CACHE));

  // A restart on the same data folder keeps the CA, so clients told to trust it still do.
  const std::string ca = Slurp(portal.ca_file());
  PortalProcess again(
      PortalProcess::Options{{"--tls"}, MEVRA_PORTAL_TEST_CACHE, std::chrono::milliseconds(20000)});
  EXPECT_EQ(Slurp(again.ca_file()), ca);
}

}  // namespace
}  // namespace mevra::portal
