#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/http_error.h"
#include "http/uri.h"

namespace mevra::http {
namespace {

TEST(UriTest, TakesUrlsApart) {
  struct Case {
    std::string text;
    std::vector<std::string>
        fields;  // protocol user password host port path document params bookmark
  };
  const std::vector<Case> cases = {
      {"http://u:p@h:81/a/b.mp3?x=1#f", {"http", "u", "p", "h", "81", "/a/", "b.mp3", "?x=1", "f"}},
      {"http://h", {"http", "", "", "h", "", "/", "", "", ""}},
      {"../c/d.mp3", {"", "", "", "", "", "../c/", "d.mp3", "", ""}},
      {"x.mp3", {"", "", "", "", "", "", "x.mp3", "", ""}},
      {"http://h/a\\b.mp3", {"http", "", "", "h", "", "/a/", "b.mp3", "", ""}},
      {"http://h/a/b?c/d", {"http", "", "", "h", "", "/a/", "b", "?c/d", ""}},
      {"http://h/a=b/c", {"http", "", "", "h", "", "/", "a", "=b/c", ""}},
      {"http://:p@h/", {"http", "", "", "h", "", "/", "", "", ""}},
      {"http://h/d.mp3#top", {"http", "", "", "h", "", "/", "d.mp3", "", "top"}},
      // The authority ends at "/", "?" or "#"; the fragment ends everything else.
      {"http://h?x=1", {"http", "", "", "h", "", "/", "", "?x=1", ""}},
      {"http://h#f", {"http", "", "", "h", "", "/", "", "", "f"}},
      {"http://h:81?x=1", {"http", "", "", "h", "81", "/", "", "?x=1", ""}},
      {"http://h/x.mp3#t=30", {"http", "", "", "h", "", "/", "x.mp3", "", "t=30"}},
      {"//other:82/x.mp3", {"", "", "", "other", "82", "/", "x.mp3", "", ""}},
      {"?page=2", {"", "", "", "", "", "", "", "?page=2", ""}},
      // An IPv6 address in brackets: its colons are no port's.
      {"https://[::1]:19443/a.mp3", {"https", "", "", "::1", "19443", "/", "a.mp3", "", ""}},
      {"http://u:p@[fe80::1]?x", {"http", "u", "p", "fe80::1", "", "/", "", "?x", ""}},
      {"http://[::1]x/", {"http", "", "", "::1", "x", "/", "", "", ""}},
      // Bytes pass through as they are: nothing is decoded.
      {"http://h/%E6%AD%8C/歌.mp3?n=a%20b",
       {"http", "", "", "h", "", "/%E6%AD%8C/", "歌.mp3", "?n=a%20b", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Uri uri(c.text);
    EXPECT_EQ(uri.URI(), c.text);
    EXPECT_EQ((std::vector<std::string>{uri.Protocol(), uri.Username(), uri.Password(), uri.Host(),
                                        uri.Port(), uri.Path(), uri.Document(), uri.Params(),
                                        uri.Bookmark()}),
              c.fields);
  }
}

TEST(UriTest, ComposesAndRefusesMissingFields) {
  const Uri uri("http://u:p@h:81/a/b.mp3?x=1#f");
  EXPECT_EQ(uri.ComposeURI(), "http://h:81/a/b.mp3?x=1");
  EXPECT_EQ(uri.ComposeURI(true, true), "http://u:p@h:81/a/b.mp3?x=1#f");
  EXPECT_EQ(Uri("https://[::1]:19443/a").ComposeURI(), "https://[::1]:19443/a");

  struct Case {
    std::string text;
    std::string message;
  };
  for (const Case& c : std::vector<Case>{{"/a/b", "Protocol field is empty"},
                                         {"http:///a/b", "Host field is empty"}}) {
    SCOPED_TRACE(c.text);
    try {
      Uri(c.text).ComposeURI();
      ADD_FAILURE() << "no exception";
    } catch (const UriError& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
  }
}

TEST(UriTest, MergesPaths) {
  struct Case {
    std::string base, path, result;
  };
  const std::vector<Case> cases = {
      {"/a/b/", "", "/a/b/"},      {"/a/b/", "/y/", "/y/"},
      {"/a/c/", "../b/", "/a/b/"}, {"/a/c", "../../b", "/b"},
      {"/a/", "x//y/", "/a/x/y/"}, {"/a/", "./x/", "/a/./x/"},
      {"/", "../x/", "/x/"},       {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.base + " + " + c.path);
    EXPECT_EQ(Uri::ProcessPath(c.base, c.path), c.result);
  }
}

TEST(UriTest, MergesRequestsIntoTheTarget) {
  struct Case {
    std::string base;
    std::string reference;
    std::string merged;  // composed; "Unknown Protocol" when the merge fails
  };
  const std::vector<Case> cases = {
      {"http://h/a/b/", "x.mp3", "http://h:80/a/b/x.mp3"},
      {"http://h/a/b/x.mp3", "/y.mp3", "http://h:80/y.mp3"},
      {"http://h:81/a/c/old.mp3", "../b/new.mp3", "http://h:81/a/b/new.mp3"},
      // An absolute URL without a port means its scheme's port, on any host.
      {"http://h:81/a", "http://other/z.mp3", "http://other:80/z.mp3"},
      {"http://h:81/a", "http://h/z.mp3", "http://h:80/z.mp3"},
      {"http://h:81/a/b/doc.mp3", "?page=2", "http://h:81/a/b/doc.mp3?page=2"},
      {"http://h:81/a/doc.mp3?x=1", "#part", "http://h:81/a/doc.mp3?x=1"},
      {"http://h:81/a/doc.mp3", "//other/x.mp3", "http://other:80/x.mp3"},
      {"https://s:8443/a", "//other/x.mp3", "https://other:443/x.mp3"},
      // A relative reference keeps the scheme it is relative to.
      {"https://s/a/", "b.mp3", "https://s:443/a/b.mp3"},
      {"HTTPS://s/", "", "HTTPS://s:443/"},
      {"http://h:81/a", "ftp://h/a", "Unknown Protocol"},
      {"http://h/a", "ftp://h:21/a", "ftp://h:21/a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.base + " + " + c.reference);
    Uri target;
    target.Merge(Uri(c.base));
    const std::string before = target.ComposeURI();
    try {
      target.Merge(Uri(c.reference));
      EXPECT_EQ(target.ComposeURI(), c.merged);
    } catch (const UnknownProtocolError& error) {
      EXPECT_EQ(std::string(error.what()), c.merged);
      // A merge that fails leaves the target as it was.
      EXPECT_EQ(target.ComposeURI(), before);
    }
  }
  // Credentials stay with their server: scheme, host and port.
  for (const Case& c : std::vector<Case>{
           {"http://me:pw@h/a", "b.mp3", "http://me:pw@h:80/b.mp3"},
           {"http://me:pw@h/a", "http://H:80/b.mp3", "http://me:pw@H:80/b.mp3"},
           {"http://me:pw@h/a", "http://h:81/b.mp3", "http://h:81/b.mp3"},
           {"http://me:pw@h/a", "https://h/b.mp3", "https://h:443/b.mp3"},
           {"http://me:pw@h/a", "//other/b.mp3", "http://other:80/b.mp3"},
           {"http://me:pw@h/a", "http://you:x@other/b.mp3", "http://you:x@other:80/b.mp3"},
       }) {
    SCOPED_TRACE(c.base + " + " + c.reference);
    Uri target;
    target.Merge(Uri(c.base));
    target.Merge(Uri(c.reference));
    EXPECT_EQ(target.ComposeURI(true), c.merged);
  }
}

}  // namespace
}  // namespace mevra::http
