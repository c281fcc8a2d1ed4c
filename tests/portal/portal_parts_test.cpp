// The portal's pure parts: return address check, command line, link signing, cookies, text.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "portal/id3_tag.h"
#include "portal/limits.h"
#include "portal/link_signer.h"
#include "portal/portal_options.h"
#include "portal/return_url.h"
#include "portal/session_store.h"
#include "portal/sip_hash.h"

namespace mevra::portal {
namespace {

TEST(ReturnUrlTest, OnlyLoopbackHttpAddressesAreAccepted) {
  struct Case {
    std::string_view url;
    bool safe;
  };
  const Case cases[] = {
      {"http://127.0.0.1:18082/top/new/", true},
      {"http://127.0.0.1/", true},
      {"http://LOCALHOST:8080/x?y=1#z", true},
      {"http://127.0.0.1", true},
      {"http://127.0.0.1:65535/", true},
      {"http://[::1]:18082/top/new/", true},
      {"http://[::1]/", true},
      {"http://[::1]x/", false},
      {"http://[::2]:80/", false},
      {"http://[::1/", false},
      {"https://127.0.0.1/", false},
      {"http://example.com/", false},
      {"http://127.0.0.1.example.com/", false},
      {"http://127.0.0.1@example.com/", false},
      {"http://example.com@127.0.0.1/", false},
      {"//example.com/", false},
      {"/top/new", false},
      {"javascript:alert(1)", false},
      {"http://127.0.0.1:/", false},
      {"http://127.0.0.1:65536/", false},
      {"http://127.0.0.1:80a/", false},
      {"http://127.0.0.1/\r\nSet-Cookie: x=1", false},
      {"http://127.0.0.1\\@example.com/", false},
      {"http://127.0.0.1/a b", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(IsSafeReturnUrl(c.url), c.safe);
  }
  EXPECT_FALSE(IsSafeReturnUrl("http://127.0.0.1/" + std::string(3000, 'a')));
}

TEST(PortalOptionsTest, ParsesEveryOptionInBothSpellings) {
  const PortalOptions o = ParsePortalOptions({"--home-port",
                                              "0",
                                              "--login-port=1",
                                              "--music-port",
                                              "65535",
                                              "--site-port=18083",
                                              "--data-dir",
                                              "/tmp/x",
                                              "--stamp",
                                              " 201301010000\n",
                                              "--account",
                                              "alice:se:cret",
                                              "--account=bob:pw",
                                              "--rate-limit",
                                              "50000",
                                              "--stall-seconds=7",
                                              "--tls",
                                              "--big-chart=100000",
                                              "--listen",
                                              "::1"});
  EXPECT_EQ(o.home_port, 0);
  EXPECT_EQ(o.login_port, 1);
  EXPECT_EQ(o.music_port, 65535);
  EXPECT_EQ(o.site_port, 18083);
  EXPECT_EQ(o.data_dir, "/tmp/x");
  EXPECT_EQ(o.stamp, " 201301010000\n");
  ASSERT_EQ(o.accounts.size(), 2u);
  EXPECT_EQ(o.accounts[0], (std::pair<std::string, std::string>{"alice", "se:cret"}));
  EXPECT_EQ(o.accounts[1].first, "bob");
  EXPECT_EQ(o.rate_limit, 50000u);
  EXPECT_EQ(o.stall_seconds, 7);
  EXPECT_TRUE(o.tls);
  EXPECT_EQ(o.big_chart, kMaxBigChartSongs);
  EXPECT_EQ(o.listen, "::1");
  EXPECT_EQ(ParsePortalOptions({"--listen=127.0.0.2"}).listen, "127.0.0.2");

  const PortalOptions defaults = ParsePortalOptions({});
  EXPECT_EQ(defaults.listen, "127.0.0.1");
  EXPECT_EQ(defaults.home_port, 18080);
  EXPECT_EQ(defaults.site_port, 18083);
  EXPECT_EQ(defaults.stamp, "201212251550");
  EXPECT_EQ(defaults.rate_limit, 0u);
  EXPECT_FALSE(defaults.tls);
}

TEST(PortalOptionsTest, RejectsMalformedArguments) {
  const std::vector<std::vector<std::string>> cases = {
      {"--home-port"},
      {"--home-port", "abc"},
      {"--home-port", "-1"},
      {"--home-port", "65536"},
      {"--home-port", "80x"},
      {"--home-port="},
      {"--account", "nopass"},
      {"--account", ":pw"},
      {"--account", "user:"},
      {"--rate-limit", "1e3"},
      {"--data-dir", ""},
      {"--stall-seconds", "86401"},
      {"--big-chart", "100001"},
      {"--verbose"},
      {"extra"},
      // The portal serves this machine alone.
      {"--listen", "0.0.0.0"},
      {"--listen", "::"},
      {"--listen", "localhost"},
      {"--listen", "192.168.1.2"},
  };
  for (const auto& args : cases) {
    std::string row;
    for (const std::string& arg : args) row += arg + " ";
    SCOPED_TRACE(row);
    EXPECT_THROW(ParsePortalOptions(args), std::invalid_argument);
  }
}

TEST(LinkSignerTest, TokensBindSongRateAndKey) {
  const LinkSigner signer({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  const std::string token = signer.Token("23470020", 128);
  EXPECT_EQ(token.size(), 16u);
  EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_TRUE(signer.Verify("23470020", 128, token));
  EXPECT_FALSE(signer.Verify("23470020", 320, token));
  EXPECT_FALSE(signer.Verify("23470021", 128, token));
  EXPECT_FALSE(signer.Verify("23470020", 128, token.substr(0, 15)));
  EXPECT_FALSE(signer.Verify("23470020", 128, ""));
  std::string flipped = token;
  flipped[7] = flipped[7] == 'a' ? 'b' : 'a';
  EXPECT_FALSE(signer.Verify("23470020", 128, flipped));
  // "2347002/0128" and "23470020/128" must not collide through the separator.
  EXPECT_NE(signer.Token("2347002", 128), signer.Token("23470021", 28));
  EXPECT_FALSE(LinkSigner().Verify("23470020", 128, token));  // another process's key
}

TEST(SipHashTest, MatchesTheReferenceVectors) {
  std::array<uint8_t, 16> key;
  for (int i = 0; i < 16; ++i) key[i] = static_cast<uint8_t>(i);
  std::string message;
  // Vectors from the algorithm's reference implementation: message bytes 0, 1, ..., n-1.
  const std::pair<size_t, uint64_t> vectors[] = {{0, 0x726fdb47dd0e0e31ull},
                                                 {1, 0x74f839c593dc67fdull},
                                                 {7, 0xab0200f58b01d137ull},
                                                 {8, 0x93f5f5799a932462ull},
                                                 {15, 0xa129ca6149be45e5ull}};
  for (const auto& [length, expected] : vectors) {
    SCOPED_TRACE("length " + std::to_string(length));
    message.clear();
    for (size_t i = 0; i < length; ++i) message.push_back(static_cast<char>(i));
    EXPECT_EQ(SipHash24(key, message), expected);
  }
}

TEST(SessionStoreTest, SessionCookieIsFoundAmongOthers) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"MEVRASID=abc", "abc"},
      {"a=1; MEVRASID=abc; b=2", "abc"},
      {"a=1;MEVRASID=abc", "abc"},
      {"XMEVRASID=abc", ""},
      {"MEVRASIDX=abc", ""},
      {"MEVRASID=", ""},
      {"", ""},
  };
  for (const auto& [header, id] : cases) {
    SCOPED_TRACE(header);
    EXPECT_EQ(SessionStore::SessionIdIn(header), id);
  }

  SessionStore store;
  store.AddAccount("demo", "demo");
  EXPECT_TRUE(store.CheckPassword("demo", "demo"));
  EXPECT_FALSE(store.CheckPassword("demo", "Demo"));
  EXPECT_FALSE(store.CheckPassword("nobody", ""));
  const std::string a = store.SignIn("demo");
  const std::string b = store.SignIn("demo");
  EXPECT_NE(a, b);
  EXPECT_EQ(a.size(), 32u);
  EXPECT_EQ(store.UserFor("x=1; MEVRASID=" + a), "demo");
  store.SignOut(a);
  EXPECT_FALSE(store.UserFor("MEVRASID=" + a));
  EXPECT_EQ(store.UserFor("MEVRASID=" + b), "demo");
}

// A temporary folder for a session file, removed with the fixture.
class KeptSessionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir_template[] = "/tmp/mevra-sessions-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    dir_ = dir_template;
    file_ = dir_ / "data" / "sessions";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
  std::filesystem::path file_;
};

TEST_F(KeptSessionsTest, ANewStoreOnTheSameFileHonoursTheSessionsStillSignedIn) {
  std::string kept, signed_out, other_account;
  {
    SessionStore store;
    store.AddAccount("demo", "demo");
    store.AddAccount("alice", "pw");
    store.KeepIn(file_);
    kept = store.SignIn("demo");
    signed_out = store.SignIn("demo");
    other_account = store.SignIn("alice");
    store.SignOut(signed_out);
  }
  EXPECT_EQ(std::filesystem::status(file_).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
      << "session ids are credentials";

  SessionStore restarted;
  restarted.AddAccount("demo", "demo");
  restarted.KeepIn(file_);
  EXPECT_EQ(restarted.UserFor("MEVRASID=" + kept), "demo");
  EXPECT_FALSE(restarted.UserFor("MEVRASID=" + signed_out));
  EXPECT_FALSE(restarted.UserFor("MEVRASID=" + other_account)) << "alice has no account now";
  restarted.AddAccount("alice", "pw");
  EXPECT_EQ(restarted.UserFor("MEVRASID=" + other_account), "alice");

  // Without a file the store keeps nothing across instances.
  SessionStore memory_only;
  memory_only.AddAccount("demo", "demo");
  EXPECT_FALSE(memory_only.UserFor("MEVRASID=" + kept));
}

TEST_F(KeptSessionsTest, DamagedOrForeignLinesAreSkipped) {
  const std::string good = "0123456789abcdef0123456789abcdef";
  const struct {
    const char* name;
    std::string text;
    bool honoured;
  } cases[] = {
      {"valid", "mevra-portal sessions 1\n" + good + " 64656d6f\n", true},
      {"no header", good + " 64656d6f\n", false},
      {"other header", "sessions 2\n" + good + " 64656d6f\n", false},
      {"short id", "mevra-portal sessions 1\n" + good.substr(1) + " 64656d6f\n", false},
      {"odd hex", "mevra-portal sessions 1\n" + good + " 64656d6\n", false},
      {"no user", "mevra-portal sessions 1\n" + good + " \n", false},
      {"bad line first", "mevra-portal sessions 1\nrubbish\n" + good + " 64656d6f\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::create_directories(file_.parent_path());
    std::ofstream(file_, std::ios::trunc) << c.text;
    SessionStore store;
    store.AddAccount("demo", "demo");
    store.KeepIn(file_);
    EXPECT_EQ(store.UserFor("MEVRASID=" + good).has_value(), c.honoured);
  }
}

TEST(SessionStoreTest, KeepsTheNewestSessionsUpToTheLimit) {
  SessionStore store;
  store.AddAccount("demo", "demo");
  std::vector<std::string> ids;
  for (size_t i = 0; i < kMaxSessions; ++i) ids.push_back(store.SignIn("demo"));
  EXPECT_TRUE(store.UserFor("MEVRASID=" + ids.front())) << "N sessions all stay";
  ids.push_back(store.SignIn("demo"));
  EXPECT_FALSE(store.UserFor("MEVRASID=" + ids.front())) << "N + 1 forgets the oldest";
  EXPECT_TRUE(store.UserFor("MEVRASID=" + ids[1]));
  EXPECT_TRUE(store.UserFor("MEVRASID=" + ids.back()));
}

TEST(Id3TagTest, Utf8BecomesUtf16AndBadBytesAreReplaced) {
  EXPECT_EQ(Utf8ToUtf16("Don't"), u"Don't");
  EXPECT_EQ(Utf8ToUtf16("晨光"), u"晨光");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xB5"), u"\U0001F3B5");  // outside the BMP: a pair
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xE6\x99"), u"\uFFFD");      // cut short
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");  // an encoded surrogate
}

}  // namespace
}  // namespace mevra::portal
