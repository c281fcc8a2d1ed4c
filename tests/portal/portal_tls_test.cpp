// The portal over HTTPS with its own CA: the certificates it keeps, and its hosts served to a
// client that trusts that CA and nothing else.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <tuple>

#include <openssl/pem.h>
#include <openssl/x509_vfy.h>

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

// Whether `leaf` verifies for `host` against `ca` alone, as a client told to trust it checks.
bool Verifies(const std::string& ca, const std::string& leaf, const std::string& host) {
  const auto read = [](const std::string& pem) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(
        BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
    return std::unique_ptr<X509, decltype(&X509_free)>(
        PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), &X509_free);
  };
  const auto authority = read(ca);
  const auto certificate = read(leaf);
  std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(), &X509_STORE_free);
  std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> context(X509_STORE_CTX_new(),
                                                                          &X509_STORE_CTX_free);
  X509_STORE_add_cert(store.get(), authority.get());
  X509_STORE_CTX_init(context.get(), store.get(), certificate.get(), nullptr);
  X509_VERIFY_PARAM_set1_host(X509_STORE_CTX_get0_param(context.get()), host.c_str(), 0);
  return X509_verify_cert(context.get()) == 1;
}

std::filesystem::perms Permissions(const std::filesystem::path& path) {
  return std::filesystem::status(path).permissions() & std::filesystem::perms::all;
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
      // Made before the portal limited its CA to the loopback interface.
      {"CA without name constraints",
       [&] {
         CertificateRequest unconstrained;
         unconstrained.common_name = "Mevra demo portal CA";
         unconstrained.certificate_authority = true;
         const PemCertificate loose = MakeCertificate(unconstrained);
         write(files.ca_certificate, loose.certificate);
         write(folder.path() / "ca-key.pem", loose.key);
       },
       true, true},
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

// Whoever holds the CA's key can sign for the loopback interface alone, whichever names a
// certificate claims.
TEST(PortalTlsFilesTest, TheCaVouchesForLoopbackNamesOnly) {
  TemporaryFolder folder;
  const TlsFiles files = EnsureTlsFiles(folder.path());
  const PemCertificate ca{Slurp(files.ca_certificate), Slurp(folder.path() / "ca-key.pem")};
  EXPECT_TRUE(HasCriticalNameConstraints(ca.certificate));
  for (const auto& [dns, ip, verifies] :
       {std::tuple{"localhost", "::1", true}, std::tuple{"bank.example", "127.0.0.1", false},
        std::tuple{"localhost", "10.0.0.1", false}}) {
    SCOPED_TRACE(std::string(dns) + " " + ip);
    CertificateRequest request;
    request.common_name = dns;
    request.dns_names = {dns};
    request.ip_addresses = {ip};
    EXPECT_EQ(Verifies(ca.certificate, MakeCertificate(request, &ca).certificate, dns), verifies);
  }
}

// The folder and the keys are the owner's alone whatever the umask and whatever became of them
// since; a folder others may write to is refused.
TEST(PortalTlsFilesTest, KeysAndTheirFolderStayPrivate) {
  using std::filesystem::perms;
  TemporaryFolder folder;
  const std::filesystem::path tls = folder.path() / "data" / "tls";
  const mode_t previous = ::umask(0);
  const TlsFiles files = EnsureTlsFiles(tls);
  ::umask(previous);
  EXPECT_EQ(Permissions(tls), perms::owner_all);
  const std::filesystem::path keys[] = {files.key, tls / "ca-key.pem"};
  for (const auto& key : keys)
    std::filesystem::permissions(key, perms::others_read, std::filesystem::perm_options::add);
  EnsureTlsFiles(tls);
  for (const auto& key : keys) {
    SCOPED_TRACE(key.string());
    EXPECT_EQ(Permissions(key), perms::owner_read | perms::owner_write);
  }
  // Readable by others is no danger; writable by them is.
  std::filesystem::permissions(tls, perms::owner_all | perms::group_read | perms::group_exec |
                                        perms::others_read | perms::others_exec);
  EXPECT_NO_THROW(EnsureTlsFiles(tls));
  for (const perms loose : {perms::group_write, perms::others_write}) {
    std::filesystem::permissions(tls, perms::owner_all | loose);
    try {
      EnsureTlsFiles(tls);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()),
                "refusing to use " + tls.string() +
                    ": it is writable by group or others (chmod go-w to fix it)");
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
