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
  Uri target;
  target.Merge(Uri("http://h/a/b/"));
  EXPECT_EQ(target.Port(), "80");
  target.Merge(Uri("x.mp3"));
  EXPECT_EQ(target.Host() + target.Path() + target.Document(), "h/a/b/x.mp3");
  target.Merge(Uri("/y.mp3"));
  EXPECT_EQ(target.Path() + target.Document(), "/y.mp3");

  // A port someone asked for stays with a later URL that names none, even on another host.
  target.Merge(Uri("http://h:81/"));
  target.Merge(Uri("http://other/z.mp3"));
  EXPECT_EQ(target.Host() + ":" + target.Port(), "other:81");

  Uri secure;
  secure.Merge(Uri("HTTPS://s/"));
  EXPECT_EQ(secure.Port(), "443");
  Uri credentials;
  credentials.Merge(Uri("http://me:pw@h/"));
  EXPECT_EQ(credentials.Username() + ":" + credentials.Password(), "me:pw");

  Uri unknown;
  EXPECT_THROW(unknown.Merge(Uri("ftp://h/a")), UnknownProtocolError);
  unknown.Merge(Uri("ftp://h:21/a"));
  EXPECT_EQ(unknown.Port(), "21");
}

}  // namespace
}  // namespace mevra::http
