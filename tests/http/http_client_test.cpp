#include <gtest/gtest.h>

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
  {
    ScriptedServer server({Script()
                               .Respond(Response("200 OK\r\nContent-Length: 1", "a"))
                               .Respond(Response("200 OK\r\nContent-Length: 1", "b"))});
    RecordingClient fetch;
    EXPECT_EQ(fetch.client.Get(server.Url("/1")), "a");
    EXPECT_EQ(fetch.client.Get(server.Url("/2")), "b");
    EXPECT_EQ(server.ConnectionsAccepted(), 1);
  }
  {
    ScriptedServer server(
        {Script().Respond(Response("200 OK\r\nConnection: close\r\nContent-Length: 1", "a")),
         Script().Respond(Response("200 OK\r\nContent-Length: 1", "b"))});
    RecordingClient fetch;
    EXPECT_EQ(fetch.client.Get(server.Url("/1")), "a");
    EXPECT_EQ(fetch.client.Get(server.Url("/2")), "b");
    EXPECT_EQ(server.ConnectionsAccepted(), 2);
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
  };
  const std::vector<Case> cases = {
      {"HTTP/1.1 404 Not Found", "missing", 404},
      {"HTTP/1.1 500 Internal Server Error", "", 500},
      {"HTTP/1.1 401 Unauthorized", "sign in", 401},
      {"HTTP/1.1 304 Not Modified", "", 304},
      {"HTTP/1.1 OK", "odd", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status_line);
    const std::string length = "\r\nContent-Length: " + std::to_string(c.body.size());
    ScriptedServer server(
        {Script()
             .Respond(c.status_line + (c.code == 304 ? "" : length) + "\r\n\r\n" + c.body)
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
    EXPECT_EQ(fetch.client.Get(server.Url("/r0")), "");
    // The first request and fourteen follows; the fifteenth location is kept, not fetched.
    EXPECT_EQ(server.Requests().size(), 15u);
    EXPECT_EQ(fetch.client.Response().Location(), "/r15");
    EXPECT_EQ(fetch.client.RedirectCount(), 0);
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
  fetch.client.Get(server.Url("/login"));
  fetch.client.Get(server.Url("/music/a.mp3"));
  fetch.client.Get(server.Url("/other/"));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].head.find("Cookie:"), std::string::npos);
  EXPECT_NE(requests[1].head.find("User-Agent: Mozilla/3.0 (compatible; Mevra HTTP Library)\r\n"
                                  "Cookie: deep=7; sid=42\r\n\r\n"),
            std::string::npos);
  EXPECT_NE(requests[2].head.find("\r\nCookie: sid=42\r\n"), std::string::npos);
}

TEST(HttpClientTest, ABodyCutByThePeerFailsButOneCutByTheCallerReturns) {
  {
    ScriptedServer server(
        {Script()
             .Respond(Response("200 OK\r\nContent-Length: 100", std::string(40, 'x')))
             .Close()});
    RecordingClient fetch;
    EXPECT_THROW(fetch.client.Get(server.Url("/a.mp3")), IncompleteBodyError);
    EXPECT_EQ(fetch.client.ResponseCode(), 200);
    EXPECT_EQ(fetch.Spans(), (std::vector<std::string>{"begin 100", "end"}));
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server({Script().Respond(c.response + (c.error ? "" : "0\r\n")).Close()});
    RecordingClient fetch;
    std::string error = "none";
    try {
      fetch.client.Get(server.Url("/"));
    } catch (const net::NetError& e) {
      error = e.ClassName();
    }
    EXPECT_EQ(error, c.error ? c.error : "none");
  }
}

TEST(HttpClientTest, RefusesWhatItCannotDo) {
  RecordingClient fetch;
  EXPECT_THROW(fetch.client.Get("https://127.0.0.1:1/a"), IoHandlerPropInvalidError);
  // A port someone asked for stays with the next URL that names none; a fresh client has none.
  RecordingClient fresh;
  EXPECT_THROW(fresh.client.Get("ftp://127.0.0.1/a"), UnknownProtocolError);

  // A second Get from a handler run inside the first one is refused without harm.
  ScriptedServer server({Script().Respond(Response("200 OK\r\nContent-Length: 4", "song"))});
  std::string nested_error;
  fetch.on_work = [&](int32_t) {
    EXPECT_TRUE(fetch.client.InsideGet());
    try {
      fetch.client.Get(server.Url("/other"));
    } catch (const GetInProgressError& error) {
      nested_error = error.ClassName();
    }
  };
  EXPECT_EQ(fetch.client.Get(server.Url("/song")), "song");
  EXPECT_EQ(nested_error, "GetInProgressError");
  EXPECT_FALSE(fetch.client.InsideGet());
}

TEST(HttpClientTest, ContinueIsSkippedAndAHeadWithoutEndIsUndefined) {
  {
    ScriptedServer server({Script().Respond("HTTP/1.1 100 Continue\r\n\r\n" +
                                            Response("200 OK\r\nContent-Length: 2", "ok"))});
    RecordingClient fetch;
    EXPECT_EQ(fetch.client.Get(server.Url("/")), "ok");
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
