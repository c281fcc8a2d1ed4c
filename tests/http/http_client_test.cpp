#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "http/http_error.h"
#include "http/program_configuration.h"
#include "net/net_error.h"
#include "net/stream.h"
#include "tests/support/scripted_server.h"

namespace mevra::http {
namespace {

using mevra::test::ScriptedServer;
using Script = mevra::test::ConnectionScript;

// A client set up as the program sets it up, recording its work events as text.
struct RecordingClient {
  RecordingClient() {
    ApplyProgramConfiguration(client);
    client.OnWorkBegin = [this](net::NetComponent&, net::WorkMode, int32_t max) {
      events.push_back("begin " + std::to_string(max));
    };
    client.OnWork = [this](net::NetComponent&, net::WorkMode, int32_t count) {
      events.push_back("work " + std::to_string(count));
      if (on_work) on_work(count);
    };
    client.OnWorkEnd = [this](net::NetComponent&, net::WorkMode) { events.push_back("end"); };
  }

  // Begin and end events only, which do not depend on how the bytes were split on the way.
  std::vector<std::string> Spans() const {
    std::vector<std::string> spans;
    for (const auto& event : events) {
      if (event.rfind("work", 0) != 0) spans.push_back(event);
    }
    return spans;
  }

  HttpClient client;
  std::vector<std::string> events;
  std::function<void(int32_t)> on_work;
};

std::string Response(const std::string& head, const std::string& body = "") {
  return "HTTP/1.1 " + head + "\r\n\r\n" + body;
}

TEST(HttpClientTest, SendsTheProgramsRequestHeadByteForByte) {
  ScriptedServer server({Script().Respond(Response("200 OK\r\nContent-Length: 2", "ok"))});
  RecordingClient fetch;
  EXPECT_EQ(fetch.client.Get(server.Url("/path/file.mp3?x=1")), "ok");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].head,
            "GET /path/file.mp3?x=1 HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "Host: 127.0.0.1:" +
                std::to_string(server.Port()) +
                "\r\n"
                "Accept: text/html, */*\r\n"
                "User-Agent: Mozilla/3.0 (compatible; Mevra HTTP Library)\r\n"
                "\r\n");
}

TEST(HttpClientTest, KeepsTheConnectionUnlessTheServerAsksToClose) {
  struct Case {
    const char* name;
    std::string headers;
    bool closes;
  };
  const std::vector<Case> cases = {
      {"nothing said", "", false},
      {"close", "\r\nConnection: close", true},
      {"Close", "\r\nConnection: Close", true},
      {"in a list", "\r\nConnection: keep-alive, close", true},
      {"on a second line", "\r\nConnection: keep-alive\r\nConnection: close", true},
      {"HTTP/1.0 without keep-alive", "", true},
      {"HTTP/1.0 with keep-alive", "\r\nConnection: Keep-Alive", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool version_1_0 = std::string(c.name).find("1.0") != std::string::npos;
    const std::string first = (version_1_0 ? "HTTP/1.0 200 OK" : "HTTP/1.1 200 OK") + c.headers +
                              "\r\nContent-Length: 1\r\n\r\na";
    // A connection kept against the server's word gets a wrong answer instead of a hang.
    ScriptedServer server(
        {Script().Respond(first).Respond(Response("200 OK\r\nContent-Length: 5", "wrong")),
         Script().Respond(Response("200 OK\r\nContent-Length: 1", "b"))});
    RecordingClient fetch;
    EXPECT_EQ(fetch.client.Get(server.Url("/1")), "a");
    EXPECT_EQ(fetch.client.Get(server.Url("/2")), c.closes ? "b" : "wrong");
    EXPECT_EQ(server.ConnectionsAccepted(), c.closes ? 2 : 1);
  }
}

TEST(HttpClientTest, FramesBodiesWhicheverWayTheBytesArrive) {
  const std::string thousand(1000, 'x');
  struct Case {
    const char* name;
    std::string response;
    bool close_after;
    std::string body;
    std::vector<std::string> spans;
  };
  const std::vector<Case> cases = {
      {"counted",
       Response("200 OK\r\nContent-Length: 1000", thousand),
       false,
       thousand,
       {"begin 1000", "end"}},
      {"length with blanks",
       Response("200 OK\r\nContent-Length:  1000 ", thousand),
       false,
       thousand,
       {"begin 1000", "end"}},
      {"until close", Response("200 OK", thousand), true, thousand, {"begin 0", "end"}},
      {"length not a number",
       Response("200 OK\r\nContent-Length: abc", "abc"),
       true,
       "abc",
       {"begin 0", "end"}},
      {"chunked",
       Response("200 OK\r\nTransfer-Encoding: chunked",
                "10\r\n0123456789abcdef\r\na\r\n0123456789\r\n0\r\n\r\n"),
       false,
       "0123456789abcdef0123456789",
       {"begin 16", "end", "begin 10", "end"}},
      {"Chunked in another case",
       Response("200 OK\r\nTransfer-Encoding: Chunked", "3\r\nabc\r\n0\r\n\r\n"),
       true,
       "abc",
       {"begin 3", "end"}},
      {"identity, then chunked",
       Response("200 OK\r\nTransfer-Encoding: identity\r\nTransfer-Encoding: chunked",
                "3\r\nabc\r\n0\r\n\r\n"),
       true,
       "abc",
       {"begin 3", "end"}},
      {"repeated equal lengths",
       Response("200 OK\r\nContent-Length: 3, 3\r\nContent-Length: 3", "abc"),
       false,
       "abc",
       {"begin 3", "end"}},
      {"chunk extensions and trailers",
       Response("200 OK\r\nTransfer-Encoding: chunked",
                "1a;name=value\r\nabcdefghijklmnopqrstuvwxyz\r\n0; last\r\nX-Trailer: 1\r\n\r\n"),
       false,
       "abcdefghijklmnopqrstuvwxyz",
       {"begin 26", "end"}},
      {"zero length", Response("200 OK\r\nContent-Length: 0"), false, "", {}},
      {"no content", Response("204 No Content"), false, "", {}},
  };
  for (const Case& c : cases) {
    for (uint32_t seed : {0u, 7u, 1234u}) {
      SCOPED_TRACE(std::string(c.name) + " split " + std::to_string(seed));
      // A second request on the same client checks that the body ended where it should.
      const std::string next = Response("200 OK\r\nContent-Length: 4", "next");
      std::vector<Script> script;
      if (c.close_after) {
        script = {Script().Respond(c.response).Close(), Script().Respond(next)};
      } else {
        script = {Script().Respond(c.response).Respond(next)};
      }
      ScriptedServer server(script, seed);
      RecordingClient fetch;
      net::MemoryStream stream("prefix");
      stream.Seek(6);
      fetch.client.Get(server.Url("/song.mp3"), stream);
      EXPECT_EQ(stream.Data(), "prefix" + c.body);
      EXPECT_EQ(fetch.Spans(), c.spans);
      if (!c.body.empty() && !fetch.events.empty() &&
          c.response.find("chunked") == std::string::npos && !c.close_after) {
        EXPECT_EQ(fetch.events[fetch.events.size() - 2], "work " + std::to_string(c.body.size()));
      }
      if (c.close_after) {
        // The server's close is on its way; the next Get must find it noticed, not race it (on a
        // loaded machine the close can come later than the client's look for it).
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (fetch.client.IsConnected() && std::chrono::steady_clock::now() < limit) {
          fetch.client.PollForClose(false);
        }
      }
      EXPECT_EQ(fetch.client.Get(server.Url("/next")), "next");
      EXPECT_EQ(server.ConnectionsAccepted(), c.close_after ? 2 : 1);
    }
  }
}

TEST(HttpClientTest, ErrorStatusesFailAfterTheirBodyWasRead) {
  struct Case {
    std::string status_line;
    std::string body;
    int32_t code;
    std::string location = "";
  };
  const std::vector<Case> cases = {
      {"HTTP/1.1 404 Not Found", "missing", 404},
      {"HTTP/1.1 500 Internal Server Error", "", 500},
      {"HTTP/1.1 401 Unauthorized", "sign in", 401},
      {"HTTP/1.1 304 Not Modified", "", 304},
      {"HTTP/1.1 OK", "odd", -1},
      // A location on an error is not followed: the transfer failed.
      {"HTTP/1.1 404 Not Found", "gone", 404, "/elsewhere.mp3"},
      {"HTTP/1.1 503 Service Unavailable", "later", 503, "http://127.0.0.1:1/x"},
      {"HTTP/1.1 OK", "odd", -1, "/elsewhere.mp3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status_line + (c.location.empty() ? "" : " with a location"));
    const std::string length = "\r\nContent-Length: " + std::to_string(c.body.size());
    const std::string location = c.location.empty() ? "" : "\r\nLocation: " + c.location;
    ScriptedServer server({Script()
                               .Respond(c.status_line + location + (c.code == 304 ? "" : length) +
                                        "\r\n\r\n" + c.body)
                               .Respond(Response("200 OK\r\nContent-Length: 2", "ok"))},
                          5);
    RecordingClient fetch;
    try {
      fetch.client.Get(server.Url("/a.mp3"));
      ADD_FAILURE() << "no exception";
    } catch (const HttpProtocolError& error) {
      EXPECT_EQ(std::string(error.what()), c.status_line);
      EXPECT_EQ(error.ErrorCode(), c.code);
      EXPECT_EQ(error.Body(), c.body);
    }
    EXPECT_EQ(fetch.client.ResponseCode(), c.code);
    EXPECT_EQ(fetch.client.ResponseText(), c.status_line);
    // The error body is gone from the connection: the next response reads clean.
    EXPECT_EQ(fetch.client.Get(server.Url("/b.mp3")), "ok");
    EXPECT_EQ(server.ConnectionsAccepted(), 1);
  }
}

TEST(HttpClientTest, FollowsRedirectsUpToTheLimit) {
  const auto redirect = [](const std::string& location) {
    return Response("302 Found\r\nLocation: " + location + "\r\nContent-Length: 5", "moved");
  };
  {
    ScriptedServer server({Script()
                               .Respond(redirect("/b"))
                               .Respond(redirect("/c"))
                               .Respond(redirect("/d"))
                               .Respond(Response("200 OK\r\nContent-Length: 4", "song"))});
    RecordingClient fetch;
    net::MemoryStream stream("pre");
    stream.Seek(3);
    fetch.client.Get(server.Url("/a"), stream);
    EXPECT_EQ(stream.Data(), "presong");
    EXPECT_EQ(server.Requests().size(), 4u);
    EXPECT_EQ(server.Requests()[3].target, "/d");
  }
  {
    Script chain;
    for (int i = 1; i <= 15; ++i) chain.Respond(redirect("/r" + std::to_string(i)));
    chain.Respond(Response("200 OK\r\nContent-Length: 4", "song"));
    ScriptedServer server({chain});
    RecordingClient fetch;
    try {
      fetch.client.Get(server.Url("/r0"));
      ADD_FAILURE() << "no exception";
    } catch (const RedirectLimitError& error) {
      EXPECT_STREQ(error.what(), "Too many redirects: 15 requests without a final response.");
    }
    // The first request and fourteen follows; the fifteenth location is kept, not fetched.
    EXPECT_EQ(server.Requests().size(), 15u);
    EXPECT_EQ(fetch.client.Response().Location(), "/r15");
    EXPECT_EQ(fetch.client.RedirectCount(), 0);
  }
  {
    // A redirect without a location is a dead end, never an empty success.
    ScriptedServer server({Script()
                               .Respond(Response("302 Found\r\nContent-Length: 5", "moved"))
                               .Respond(Response("200 OK\r\nContent-Length: 2", "ok"))});
    RecordingClient fetch;
    try {
      fetch.client.Get(server.Url("/a"));
      ADD_FAILURE() << "no exception";
    } catch (const RedirectWithoutLocationError& error) {
      EXPECT_STREQ(error.what(), "The redirect HTTP/1.1 302 Found names no location.");
    }
    // Its body was read: the connection serves the next request.
    EXPECT_EQ(fetch.client.Get(server.Url("/b")), "ok");
    EXPECT_EQ(server.ConnectionsAccepted(), 1);
  }
  {
    ScriptedServer server(
        {Script()
             .Respond(Response("301 Moved\r\nLocation: ../b/file.mp3\r\nContent-Length: 0"))
             .Respond(Response("200 OK\r\nContent-Length: 3", "mp3"))});
    RecordingClient fetch;
    EXPECT_EQ(fetch.client.Get(server.Url("/a/c/old.mp3")), "mp3");
    EXPECT_EQ(server.Requests()[1].target, "/a/b/file.mp3");
  }
}

TEST(HttpClientTest, StoresCookiesAndSendsThemWhereTheyBelong) {
  ScriptedServer server({Script()
                             .Respond(Response("200 OK\r\nSet-Cookie: sid=42; path=/\r\n"
                                               "Set-Cookie: nopath=1\r\n"
                                               "Set-Cookie: gone=1; path=/; max-age=0\r\n"
                                               "Set-Cookie: deep=7; path=/music/\r\n"
                                               "Content-Length: 0"))
                             .Respond(Response("200 OK\r\nContent-Length: 0"))
                             .Respond(Response("200 OK\r\nContent-Length: 0"))});
  RecordingClient fetch;
  fetch.client.Get(server.Url("/music/login"));
  fetch.client.Get(server.Url("/music/a.mp3"));
  fetch.client.Get(server.Url("/other/"));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].head.find("Cookie:"), std::string::npos);
  // A cookie without a path belongs to the directory of the request that set it.
  EXPECT_NE(requests[1].head.find("User-Agent: Mozilla/3.0 (compatible; Mevra HTTP Library)\r\n"
                                  "Cookie: deep=7; nopath=1; sid=42\r\n\r\n"),
            std::string::npos);
  EXPECT_NE(requests[2].head.find("\r\nCookie: sid=42\r\n"), std::string::npos);
}

TEST(HttpClientTest, ALongCookieHeaderGoesOutOnOneLine) {
  std::string set_cookies;
  for (char name = 'a'; name <= 'd'; ++name) {
    set_cookies +=
        std::string("Set-Cookie: ") + name + "=" + std::string(400, name) + "; path=/\r\n";
  }
  ScriptedServer server({Script()
                             .Respond(Response("200 OK\r\n" + set_cookies + "Content-Length: 0"))
                             .Respond(Response("200 OK\r\nContent-Length: 0"))});
  RecordingClient fetch;
  fetch.client.Get(server.Url("/"));
  fetch.client.Get(server.Url("/"));
  const std::string head = server.Requests().at(1).head;
  // Folded continuation lines start with a blank; strict servers answer them with 400.
  EXPECT_EQ(head.find("\r\n "), std::string::npos);
  EXPECT_EQ(server.Requests()[1].headers["cookie"].size(), 4 * 402 + 3 * 2);
}

TEST(HttpClientTest, ABodyCutByThePeerFailsButOneCutByTheCallerReturns) {
  for (const int64_t announced : {int64_t{100}, int64_t{3000000000}}) {
    // Beyond 2^31 - 1 the length must still count: a short body is no complete body.
    SCOPED_TRACE(announced);
    ScriptedServer server(
        {Script()
             .Respond(Response("200 OK\r\nContent-Length: " + std::to_string(announced),
                               std::string(40, 'x')))
             .Close()});
    RecordingClient fetch;
    try {
      fetch.client.Get(server.Url("/a.mp3"));
      ADD_FAILURE() << "no exception";
    } catch (const IncompleteBodyError& error) {
      EXPECT_EQ(std::string(error.what()),
                "Connection closed after 40 of " + std::to_string(announced) + " body bytes.");
    }
    EXPECT_EQ(fetch.client.ResponseCode(), 200);
    EXPECT_EQ(fetch.Spans(),
              (std::vector<std::string>{
                  "begin " + std::to_string(std::min<int64_t>(announced, INT32_MAX)), "end"}));
  }
  {
    // The stop button: the work handler closes the connection during a counted body.
    ScriptedServer server(
        {Script().Respond(Response("200 OK\r\nContent-Length: 200000", std::string(200000, 'y')))});
    RecordingClient fetch;
    fetch.on_work = [&](int32_t count) {
      if (count >= 40000) fetch.client.CloseConnection();
    };
    net::MemoryStream stream;
    fetch.client.Get(server.Url("/a.mp3"), stream);
    EXPECT_GE(stream.Size(), 40000);
    EXPECT_LT(stream.Size(), 200000);
    EXPECT_EQ(fetch.events.back(), "end");
    EXPECT_EQ(fetch.events[fetch.events.size() - 2], "work " + std::to_string(stream.Size()));
  }
  {
    // A chunked body cut the same way cannot read its next size line.
    ScriptedServer server(
        {Script().Respond(Response("200 OK\r\nTransfer-Encoding: chunked",
                                   "8000\r\n" + std::string(0x8000, 'z') + "\r\n" + "8000\r\n" +
                                       std::string(0x8000, 'z') + "\r\n0\r\n\r\n"))});
    RecordingClient fetch;
    fetch.on_work = [&](int32_t) { fetch.client.CloseConnection(); };
    EXPECT_THROW(fetch.client.Get(server.Url("/a.mp3")), net::NetError);
  }
  {
    // The stop button while a redirect's body comes: the Get ends there, as it would in the
    // final body, and the redirect is not followed.
    ScriptedServer server(
        {Script().Respond(Response("302 Found\r\nLocation: /real.mp3\r\nContent-Length: 100000",
                                   std::string(100000, 'r'))),
         Script().Respond(Response("200 OK\r\nContent-Length: 4", "real"))});
    RecordingClient fetch;
    fetch.on_work = [&](int32_t) { fetch.client.CloseConnection(); };
    net::MemoryStream stream;
    fetch.client.Get(server.Url("/a.mp3"), stream);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(server.Requests().size(), 1u);
  }
}

TEST(HttpClientTest, MalformedResponsesFailClearly) {
  std::string many_lines;
  for (int i = 0; i < kMaxHeaderLineCount; ++i) many_lines += "X-" + std::to_string(i) + ": v\r\n";
  // Header lines whose lengths add up to exactly the block limit.
  std::string big_block;
  size_t remaining = kMaxHeaderBlockBytes - 17;  // "Content-Length: 0"
  while (remaining > 0) {
    const size_t n = std::min<size_t>(remaining, 16000);
    big_block += "X-Big: " + std::string(n - 7, 'b') + "\r\n";
    remaining -= n;
  }
  struct Case {
    const char* name;
    std::string response;
    const char* error;  // the class expected, nullptr for success
  };
  const std::vector<Case> cases = {
      {"line count at the limit", "HTTP/1.1 200 OK\r\n" + many_lines + "\r\n", nullptr},
      {"line count beyond", "HTTP/1.1 200 OK\r\n" + many_lines + "X-Last: 1\r\n\r\n",
       "HeaderBlockTooLargeError"},
      {"block at the limit", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n" + big_block + "\r\n",
       nullptr},
      {"block beyond", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n" + big_block + "X\r\n\r\n",
       "HeaderBlockTooLargeError"},
      {"content range", Response("206 Partial\r\nContent-Range: bytes x-9/10\r\nContent-Length: 0"),
       "ConversionError"},
      {"chunk size", Response("200 OK\r\nTransfer-Encoding: chunked", "zz\r\nabc\r\n0\r\n\r\n"),
       "ChunkSizeError"},
      {"chunks cut short", Response("200 OK\r\nTransfer-Encoding: chunked", "5\r\nab"),
       "IncompleteBodyError"},
      {"head cut short", "HTTP/1.1 200 OK\r\nContent-Len", "NetError"},
      {"chunk longer than its size",
       Response("200 OK\r\nTransfer-Encoding: chunked", "3\r\nabcdef\r\n0\r\n\r\n"),
       "ChunkSizeError"},
      {"transfer coding gzip", Response("200 OK\r\nTransfer-Encoding: gzip", "\x1f\x8b"),
       "FramingError"},
      {"gzip under chunks", Response("200 OK\r\nTransfer-Encoding: gzip, chunked", "0\r\n\r\n"),
       "FramingError"},
      {"two lengths", Response("200 OK\r\nContent-Length: 3\r\nContent-Length: 4", "abcd"),
       "FramingError"},
      {"two lengths in a list", Response("200 OK\r\nContent-Length: 3, 4", "abcd"), "FramingError"},
      {"one stray empty line first", "\r\n" + Response("200 OK\r\nContent-Length: 0"), nullptr},
      {"only empty lines", "\r\n\r\n" + Response("200 OK\r\nContent-Length: 0"), "StatusLineError"},
      {"a line end and nothing more", "\r\n", "StatusLineError"},
      {"status line cut short", "HTTP/1.1 200", "StatusLineError"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server({Script().Respond(c.response + (c.error ? "" : "0\r\n")).Close()}, 9);
    RecordingClient fetch;
    std::string error = "none";
    try {
      fetch.client.Get(server.Url("/"));
    } catch (const net::NetError& e) {
      error = e.ClassName();
      EXPECT_STRNE(e.what(), "");
    }
    EXPECT_EQ(error, c.error ? c.error : "none");
  }
}

// Replaces "{A}" and "{B}" in `text` by the two ports.
std::string WithPorts(std::string text, int a, int b = 0) {
  for (const auto& [mark, port] : {std::pair{"{A}", a}, std::pair{"{B}", b}}) {
    for (size_t at; (at = text.find(mark)) != std::string::npos;) {
      text.replace(at, 3, std::to_string(port));
    }
  }
  return text;
}

TEST(HttpClientTest, RedirectsAndUrlsReachTheirTarget) {
  struct Case {
    const char* name;
    std::string path;      // asked of server A
    std::string location;  // its redirect, none when empty
    char server;           // the server that answers the final request
    std::string target;    // as that request names it
  };
  const std::vector<Case> cases = {
      {"relative path", "/a/b/doc.mp3", "../c.mp3", 'A', "/a/c.mp3"},
      {"query only: same document", "/a/b/doc.mp3", "?page=2", 'A', "/a/b/doc.mp3?page=2"},
      {"fragment only: same document and query", "/a/doc.mp3?x=1", "#part", 'A', "/a/doc.mp3?x=1"},
      {"network path: another host", "/a/doc.mp3", "//127.0.0.1:{B}/x.mp3", 'B', "/x.mp3"},
      {"absolute, another port", "/a", "http://127.0.0.1:{B}/y", 'B', "/y"},
      {"query right after the port", "/a", "http://127.0.0.1:{B}?x=1", 'B', "/?x=1"},
      {"fragment right after the port", "/a", "http://127.0.0.1:{B}#f", 'B', "/"},
      {"a fragment's = is no parameter", "/a", "http://127.0.0.1:{B}/x.mp3#t=30", 'B', "/x.mp3"},
      {"blanks and other characters encoded", "/a", "/a b/\xE6\xAD\x8C\".mp3", 'A',
       "/a%20b/%E6%AD%8C%22.mp3"},
      {"CR in a location encoded", "/a", "/x\rX-Injected: yes", 'A', "/x%0DX-Injected:%20yes"},
      {"CR LF in the URL encoded", "/x\r\nX-Injected: yes", "", 'A', "/x%0D%0AX-Injected:%20yes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer b({Script().Respond(Response("200 OK\r\nContent-Length: 1", "B"))}, 3);
    Script a_script;
    if (!c.location.empty()) {
      a_script.Respond(Response("302 Found\r\nLocation: " + WithPorts(c.location, 0, b.Port()) +
                                "\r\nContent-Length: 0"));
    }
    ScriptedServer a({a_script.Respond(Response("200 OK\r\nContent-Length: 1", "A"))}, 3);
    RecordingClient fetch;
    EXPECT_EQ(fetch.client.Get(a.Url(c.path)), std::string(1, c.server));
    const ScriptedServer& last = c.server == 'A' ? a : b;
    ASSERT_FALSE(last.Requests().empty());
    EXPECT_EQ(last.Requests().back().target, WithPorts(c.target, a.Port(), b.Port()));
    for (const ScriptedServer* server : {&a, &b}) {
      for (const auto& request : server->Requests()) {
        EXPECT_EQ(request.head.find("\r\nX-Injected"), std::string::npos);
      }
    }
  }
}

// Credentials from a URL go with a redirect to the same server only, and never on to a later
// request elsewhere.
TEST(HttpClientTest, CredentialsGoOnlyToTheServerTheyWereGivenFor) {
  struct Case {
    const char* name;
    std::string location;
    bool on_b;  // the redirect leads to server B
    bool authorised;
  };
  const std::vector<Case> cases = {
      {"the same server", "/b", false, true},
      {"the same server by its full address", "http://127.0.0.1:{A}/b", false, true},
      {"another port", "http://127.0.0.1:{B}/b", true, false},
      {"another name for the same port", "http://localhost:{A}/b", false, false},
  };
  const std::string ok = Response("200 OK\r\nContent-Length: 2", "ok");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer a;
    ScriptedServer b({Script().Respond(ok).Respond(ok)});
    a.Add(Script()
              .Respond(
                  Response("302 Found\r\nLocation: " + WithPorts(c.location, a.Port(), b.Port()) +
                           "\r\nContent-Length: 0"))
              .Respond(ok));
    a.Add(Script().Respond(ok));
    RecordingClient fetch;
    fetch.client.Request().SetBasicAuthentication(true);
    const std::string authority = "me:pw@127.0.0.1:" + std::to_string(a.Port());
    EXPECT_EQ(fetch.client.Get("http://" + authority + "/a"), "ok");
    // "me:pw"; without credentials the header goes out empty, as basic authentication is on.
    const auto carries_them = [](ScriptedServer::Request request) {
      return request.headers["authorization"] == "Basic bWU6cHc=";
    };
    EXPECT_TRUE(carries_them(a.Requests().at(0)));
    const auto followed = (c.on_b ? b : a).Requests().back();
    EXPECT_EQ(followed.target, "/b");
    EXPECT_EQ(carries_them(followed), c.authorised);
    EXPECT_EQ(fetch.client.URL().Username(), c.authorised ? "me" : "");
    // A later request elsewhere goes without them.
    EXPECT_EQ(fetch.client.Get(b.Url("/later")), "ok");
    EXPECT_FALSE(carries_them(b.LastRequest("/later")));
  }
}

TEST(HttpClientTest, AnAbsoluteUrlWithoutPortMeansTheSchemesPort) {
  for (const char* location : {"http://localhost/file.mp3", "http://127.0.0.1/file.mp3"}) {
    SCOPED_TRACE(location);
    ScriptedServer server({Script()
                               .Respond(Response(std::string("302 Found\r\nLocation: ") + location +
                                                 "\r\nContent-Length: 0"))
                               .Respond(Response("200 OK\r\nContent-Length: 5", "wrong"))});
    RecordingClient fetch;
    // Whatever answers on port 80 of this machine, if anything does, must not hold the test.
    fetch.client.SetReadTimeout(5000);
    try {
      fetch.client.Get(server.Url("/a"));
    } catch (const net::NetError&) {
    }
    EXPECT_EQ(fetch.client.Port(), 80);
    EXPECT_EQ(fetch.client.URL().Port(), "80");
    EXPECT_EQ(server.Requests().size(), 1u);
  }
}

TEST(HttpClientTest, RefusesWhatItCannotDo) {
  ScriptedServer refused({Script().Respond(Response("200 OK\r\nContent-Length: 5", "wrong"))});
  struct Case {
    const char* name;
    std::string url;
    const char* error;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"unknown scheme", "ftp://127.0.0.1/a", "UnknownProtocolError", "Unknown Protocol"},
      {"unknown scheme with a port", "ftp://127.0.0.1:{A}/a", "UnknownProtocolError",
       "Unknown Protocol"},
      {"port beyond 65535", "http://127.0.0.1:70000/", "UriError",
       "Port field is not a number from 1 to 65535"},
      {"port 0", "http://127.0.0.1:0/", "UriError", "Port field is not a number from 1 to 65535"},
      {"port not a number", "http://127.0.0.1:8o/", "UriError",
       "Port field is not a number from 1 to 65535"},
      {"NUL in the host", std::string("http://127.0.0.1\0x:{A}/", 23), "UriError",
       "Host field contains blanks or control bytes"},
      {"blank in the host", "http://127.0.0.1 x:{A}/", "UriError",
       "Host field contains blanks or control bytes"},
      {"no host", "http:///a", "UriError", "Host field is empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingClient fresh;
    try {
      fresh.client.Get(WithPorts(c.url, refused.Port()));
      ADD_FAILURE() << "no exception";
    } catch (const net::NetError& error) {
      EXPECT_STREQ(error.ClassName(), c.error);
      EXPECT_STREQ(error.what(), c.message);
    }
  }
  EXPECT_TRUE(refused.Requests().empty());

  // A URL refused after others leaves the target as it was, so relative URLs go on from there.
  ScriptedServer server({Script()
                             .Respond(Response("200 OK\r\nContent-Length: 1", "a"))
                             .Respond(Response("200 OK\r\nContent-Length: 1", "b"))});
  RecordingClient fetch;
  EXPECT_EQ(fetch.client.Get(server.Url("/a/b/doc.mp3")), "a");
  EXPECT_THROW(fetch.client.Get("ftp://127.0.0.1/x"), UnknownProtocolError);
  EXPECT_THROW(fetch.client.Get("http://127.0.0.1:99999/x"), UriError);
  EXPECT_EQ(
      fetch.client.URL().Protocol() + fetch.client.URL().Path() + fetch.client.URL().Document(),
      "http/a/b/doc.mp3");
  EXPECT_EQ(fetch.client.Get("next.mp3"), "b");
  EXPECT_EQ(server.Requests().back().target, "/a/b/next.mp3");

  // A second Get from a handler run inside the first one is refused without harm.
  std::string nested_error;
  fetch.on_work = [&](int32_t) {
    EXPECT_TRUE(fetch.client.InsideGet());
    try {
      fetch.client.Get(server.Url("/other"));
    } catch (const GetInProgressError& error) {
      nested_error = error.ClassName();
    }
  };
  ScriptedServer song({Script().Respond(Response("200 OK\r\nContent-Length: 4", "song"))});
  EXPECT_EQ(fetch.client.Get(song.Url("/song")), "song");
  EXPECT_EQ(nested_error, "GetInProgressError");
  EXPECT_FALSE(fetch.client.InsideGet());
}

TEST(HttpClientTest, InformationalAnswersAreSkippedAndAHeadWithoutEndIsUndefined) {
  struct Case {
    const char* name;
    std::string before;
  };
  const std::vector<Case> cases = {
      {"100 Continue", "HTTP/1.1 100 Continue\r\n\r\n"},
      {"103 Early Hints", "HTTP/1.1 103 Early Hints\r\nLink: </style.css>; rel=preload\r\n\r\n"},
      {"two of them", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server({Script()
                               .Respond(c.before + Response("200 OK\r\nContent-Length: 2", "ok"))
                               .Respond(Response("200 OK\r\nContent-Length: 4", "next"))},
                          11);
    RecordingClient fetch;
    EXPECT_EQ(fetch.client.Get(server.Url("/")), "ok");
    // Nothing of the first answer is left for the second Get on the kept connection.
    EXPECT_EQ(fetch.client.Get(server.Url("/")), "next");
    EXPECT_EQ(server.ConnectionsAccepted(), 1);
  }
  {
    // 101 would switch protocols, which was never asked for: it fails, and what follows it on
    // the connection is never read as an answer.
    ScriptedServer server(
        {Script()
             .Respond("HTTP/1.1 101 Switching Protocols\r\nUpgrade: other\r\n\r\nother bytes")
             .Respond(Response("200 OK\r\nContent-Length: 5", "wrong")),
         Script().Respond(Response("200 OK\r\nContent-Length: 4", "next"))});
    RecordingClient fetch;
    EXPECT_THROW(fetch.client.Get(server.Url("/")), HttpProtocolError);
    EXPECT_EQ(fetch.client.Get(server.Url("/")), "next");
    EXPECT_EQ(server.ConnectionsAccepted(), 2);
  }
  {
    ScriptedServer server({Script().Respond("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n").Close()});
    RecordingClient fetch;
    try {
      fetch.client.Get(server.Url("/"));
      ADD_FAILURE() << "no exception";
    } catch (const net::NetError& error) {
      EXPECT_EQ(std::string(error.what()), "Undefined situation");
    }
  }
}

}  // namespace
}  // namespace mevra::http
