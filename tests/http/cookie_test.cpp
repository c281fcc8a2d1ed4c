#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/cookie_manager.h"
#include "http/cookie_rfc2965.h"
#include "http/limits.h"
#include "http/uri.h"

namespace mevra::http {
namespace {

std::string CookiesFor(CookieManager& manager, const std::string& url) {
  return manager.GenerateCookieList(Uri(url));
}

// prefix + n + suffix, appended piece by piece: GCC 12 at -O3 misreads "c" + std::to_string(n)
// as an overlapping copy (-Wrestrict).
std::string Numbered(const char* prefix, size_t n, const char* suffix) {
  std::string text = prefix;
  text += std::to_string(n);
  text += suffix;
  return text;
}

TEST(CookieTest, AcceptsOnlyCookiesTheHostMaySet) {
  struct Case {
    std::string text;
    std::string host;
    bool stored;
    bool secure_connection = false;
  };
  const std::vector<Case> cases = {
      {"a=1; path=/", "s.a.test", true},
      // A plain-text peer may not plant a cookie meant for https only.
      {"a=1; path=/; Secure", "s.a.test", false},
      {"a=1; path=/; Secure", "s.a.test", true, true},
      {"a=1; path=/", "s.a.test", true, true},
      {"a=1; path=/; DOMAIN=.a.test", "s.a.test", true},
      {"a=1; path=/; domain=b.test", "s.a.test", false},
      {"a=1; path=/; domain=.test", "s.a.test", false},
      {"a=1; path=/; domain=S.a.test", "s.a.test", false},
      {"a=1; path=/", "127.0.0.1", true},
      {"a=1; path=/; domain=127.0.0.2", "127.0.0.1", false},
      {"a=1; path=/; domain=.localhost", "localhost", false},
      // A top-level label or an address other than the host would reach far too many hosts.
      {"a=1; path=/; domain=.test", "a.test", false},
      {"a=1; path=/; domain=.1.2.3.4", "h.1.2.3.4", false},
      // A control byte would go back out inside the Cookie header.
      {"a=1\r; path=/", "h.test", false},
      {std::string("a=1\0b; path=/", 14), "h.test", false},
      {"a=1\tb; path=/", "h.test", true},
      {"a=" + std::string(kMaxCookieBytes - 2, 'v'), "h.test", true},
      {"a=" + std::string(kMaxCookieBytes - 1, 'v'), "h.test", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " from " + c.host + (c.secure_connection ? " over TLS" : ""));
    CookieManager manager;
    manager.AddCookie(c.text, c.host, "/", c.secure_connection);
    EXPECT_EQ(manager.Cookies().Count(), c.stored ? 1u : 0u);
  }
}

TEST(CookieTest, SendsCookiesOnlyToMatchingHostsAndPaths) {
  CookieManager manager;
  manager.AddCookie("sid=1; path=/", "s.a.test");
  manager.AddCookie("wide=2; path=/; domain=.a.test", "s.a.test");
  manager.AddCookie("named=7; path=/; domain=s.a.test", "s.a.test");
  manager.AddCookie("nopath=3", "s.a.test", "/music/list.html");
  manager.AddCookie("empty=; path=/", "s.a.test");
  manager.AddCookie("deep=4; path=\"/music/\"", "s.a.test");
  manager.AddCookie("safe=5; path=/; secure", "s.a.test", "/", true);
  manager.AddCookie("exact=6; path=/x/y", "s.a.test");

  struct Case {
    std::string url;
    std::string cookies;
  };
  const std::vector<Case> cases = {
      {"http://s.a.test/", "wide=2; sid=1; named=7"},
      // A cookie without a path belongs to the directory of the request that set it.
      {"http://s.a.test/music/song.mp3", "deep=4; nopath=3; wide=2; sid=1; named=7"},
      {"http://s.a.test/music", "nopath=3; wide=2; sid=1; named=7"},
      {"http://s.a.test/musicbox/song.mp3", "wide=2; sid=1; named=7"},
      // A path matches itself and what lies below it, not what merely starts with its text.
      {"http://s.a.test/x/y", "exact=6; wide=2; sid=1; named=7"},
      {"http://s.a.test/x/y/z.mp3", "exact=6; wide=2; sid=1; named=7"},
      {"http://s.a.test/x/yz", "wide=2; sid=1; named=7"},
      {"http://S.A.TEST/", "wide=2; sid=1; named=7"},
      {"http://s.a.test./", "wide=2; sid=1; named=7"},
      // Cookies set without a domain stay with their host; one that names it goes below it too.
      {"http://x.s.a.test/", "wide=2; named=7"},
      {"http://a.test/", "wide=2"},
      {"http://other.a.test/", "wide=2"},
      // Hosts that merely contain the domain get nothing.
      {"http://s.a.test.evil/", ""},
      {"http://xs.a.test/", "wide=2"},
      {"http://b.test/", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(CookiesFor(manager, c.url), c.cookies);
  }
  EXPECT_EQ(manager.GenerateCookieList(Uri("http://s.a.test/"), true),
            "wide=2; sid=1; named=7; safe=5");
  // A host written with its trailing dot sets the same host's cookies.
  manager.AddCookie("dotted=8; path=/", "s.a.test.");
  EXPECT_EQ(CookiesFor(manager, "http://s.a.test/x/y"),
            "exact=6; wide=2; sid=1; named=7; dotted=8");
}

// A plain-http answer must not replace a Secure cookie, nor set one of its name beside it that
// would be sent first (session fixation); over https it may.
TEST(CookieTest, APlainConnectionNeverReplacesOrShadowsASecureCookie) {
  struct Case {
    const char* name;
    std::string text;
    std::string host;
    bool secure_connection;
    std::string sent;  // over https to s.a.test/p/q afterwards
  };
  const std::vector<Case> cases = {
      {"the same cookie over http", "sid=evil; path=/", "s.a.test", false, "sid=good"},
      {"a deeper path over http", "sid=evil; path=/p", "s.a.test", false, "sid=good"},
      {"the parent domain over http", "sid=evil; path=/; domain=.a.test", "s.a.test", false,
       "sid=good"},
      {"the name in another case over http", "SID=evil; path=/", "s.a.test", false, "sid=good"},
      {"another name over http", "other=1; path=/", "s.a.test", false, "sid=good; other=1"},
      {"another domain over http", "sid=1; path=/", "b.test", false, "sid=good"},
      {"the same cookie over https", "sid=new; path=/", "s.a.test", true, "sid=new"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CookieManager manager;
    manager.AddCookie("sid=good; path=/; Secure", "s.a.test", "/", true);
    manager.AddCookie(c.text, c.host, "/", c.secure_connection);
    EXPECT_EQ(manager.GenerateCookieList(Uri("https://s.a.test/p/q"), true), c.sent);
  }
}

TEST(CookieTest, ReplacesByNameAndExpires) {
  CookieManager manager;
  manager.AddCookie("id=1; path=/a/", "h.test");
  manager.AddCookie("ID=2; path=/", "h.test");
  EXPECT_EQ(manager.Cookies().Count(), 1u);
  EXPECT_EQ(CookiesFor(manager, "http://h.test/"), "ID=2");

  manager.AddCookie("gone=1; path=/; max-age=0", "h.test");
  manager.AddCookie("old=1; path=/; expires=Sun, 06 Nov 1994 08:49:37 GMT", "h.test");
  manager.AddCookie("later=1; path=/; max-age=3600", "h.test");
  manager.AddCookie("future=1; path=/; expires=Fri, 01 Jan 2100 00:00:00 GMT", "h.test");
  // An age wins over a date.
  manager.AddCookie("aged=1; path=/; expires=Sun, 06 Nov 1994 08:49:37 GMT; max-age=3600",
                    "h.test");
  manager.AddCookie("dated=1; path=/; expires=Fri, 01 Jan 2100 00:00:00 GMT; max-age=0", "h.test");
  EXPECT_EQ(manager.Cookies().Count(), 7u);
  EXPECT_EQ(CookiesFor(manager, "http://h.test/"), "ID=2; later=1; future=1; aged=1");
  EXPECT_EQ(manager.Cookies().Count(), 4u);

  // A later cookie of the same name with max-age 0 removes it.
  manager.AddCookie("later=; path=/; max-age=0", "h.test");
  EXPECT_EQ(CookiesFor(manager, "http://h.test/"), "ID=2; future=1; aged=1");
}

TEST(CookieTest, TheStoreStaysBoundedAndDropsTheOldestFirst) {
  CookieManager manager;
  // One domain: the first cookies give way to the newest.
  for (size_t i = 0; i <= kMaxCookiesPerDomain; ++i) {
    manager.AddCookie(Numbered("c", i, "=1; path=/"), "one.test");
  }
  EXPECT_EQ(manager.Cookies().Count(), kMaxCookiesPerDomain);
  const std::string sent = CookiesFor(manager, "http://one.test/");
  EXPECT_EQ(sent.find("c0="), std::string::npos);
  EXPECT_NE(sent.find("c1="), std::string::npos);
  EXPECT_NE(sent.find(Numbered("c", kMaxCookiesPerDomain, "=")), std::string::npos);

  // Many domains: the store as a whole gives way the same way.
  const size_t domains = kMaxCookies / kMaxCookiesPerDomain + 1;
  for (size_t d = 0; d < domains; ++d) {
    const std::string host = Numbered("h", d, ".test");
    for (size_t i = 0; i < kMaxCookiesPerDomain; ++i) {
      manager.AddCookie(Numbered("c", i, "=1; path=/"), host);
    }
  }
  EXPECT_EQ(manager.Cookies().Count(), kMaxCookies);
  // The fifty of one.test went first, then the fifty of the first new domain.
  EXPECT_EQ(CookiesFor(manager, "http://one.test/"), "");
  EXPECT_EQ(CookiesFor(manager, "http://h0.test/"), "");
  EXPECT_NE(CookiesFor(manager, "http://h1.test/").find("c0=1"), std::string::npos);
}

TEST(CookieTest, ReadsTheAttributesOfEachKind) {
  CookieRfc2965 cookie;
  cookie.SetCookieText(
      "n=v=w; Path=/p; Max-Age=60; Version=1; Comment=c; CommentURL=http://c/; Discard; "
      "Port=\"81, 82\"; Secure");
  EXPECT_EQ(cookie.CookieName(), "n");
  EXPECT_EQ(cookie.Value(), "v=w");
  EXPECT_EQ(cookie.Path(), "/p");
  EXPECT_EQ(cookie.MaxAge(), 60);
  EXPECT_FALSE(cookie.Expires().empty());
  EXPECT_EQ(cookie.Version(), "1");
  EXPECT_EQ(cookie.CommentURL(), "http://c/");
  EXPECT_TRUE(cookie.Discard());
  EXPECT_TRUE(cookie.Secure());
  EXPECT_EQ(cookie.PortList(), (std::vector<int32_t>{81, 82}));

  CookieRfc2965 plain;
  plain.SetCookieText("only");
  EXPECT_EQ(plain.CookieName(), "only");
  EXPECT_EQ(plain.MaxAge(), -1);
  EXPECT_TRUE(plain.Expires().empty());
  EXPECT_EQ(plain.PortList(), (std::vector<int32_t>{80}));
}

}  // namespace
}  // namespace mevra::http
