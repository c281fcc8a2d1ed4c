#pragma once

// Helpers shared by the portal's tests: reading pages the way a client would, without a
// browser, and a raw socket client for answers that a library client would smooth over.

#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace mevra::portal::testing {

struct ItemFields {
  std::string sid, sname, author;
};

inline std::string HtmlUnescape(std::string text) {
  const std::pair<const char*, const char*> entities[] = {
      {"&quot;", "\""}, {"&#39;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : entities) {
    for (size_t p = text.find(entity); p != std::string::npos; p = text.find(entity, p + 1)) {
      text.replace(p, std::string(entity).size(), plain);
    }
  }
  return text;
}

// Every double-quoted class attribute value that holds a song item, unescaped.
inline std::vector<std::string> SongItemClasses(const std::string& html) {
  std::vector<std::string> out;
  for (size_t p = html.find("class=\""); p != std::string::npos; p = html.find("class=\"", p + 1)) {
    const size_t start = p + 7;
    const size_t end = html.find('"', start);
    std::string value = HtmlUnescape(html.substr(start, end - start));
    if (value.starts_with("clearfix  song-item-hook {")) out.push_back(value);
  }
  return out;
}

// The objects of the JSON array in <script type="application/json" id="late-songs">.
inline std::vector<ItemFields> LateSongs(const std::string& html) {
  const std::string open = "<script type=\"application/json\" id=\"late-songs\">";
  size_t p = html.find(open);
  if (p == std::string::npos) return {};
  p += open.size();
  const std::string json = html.substr(p, html.find("</script>", p) - p);
  std::vector<ItemFields> out;
  std::vector<std::string> strings;
  for (size_t i = 0; i < json.size(); ++i) {
    if (json[i] == '{') strings.clear();
    if (json[i] == '}' && strings.size() == 6) out.push_back({strings[1], strings[3], strings[5]});
    if (json[i] != '"') continue;
    std::string s;
    for (++i; i < json.size() && json[i] != '"'; ++i) {
      if (json[i] != '\\') {
        s += json[i];
        continue;
      }
      const char e = json[++i];
      if (e == 'u') {
        const unsigned code = std::stoul(json.substr(i + 1, 4), nullptr, 16);
        i += 4;
        if (code < 0x80) {
          s += static_cast<char>(code);
        } else {
          s += "?";  // the portal only escapes ASCII this way
        }
      } else {
        s += e == 'n' ? '\n' : e == 't' ? '\t' : e;
      }
    }
    strings.push_back(s);
  }
  return out;
}

// The host-relative link a download page offers for `rate`, backslashes removed; empty when
// the rate marker is absent.
inline std::string LinkForRate(const std::string& page, int rate) {
  const std::string marker = "{\"rate\":" + std::to_string(rate) + ",\"link\":\"";
  const size_t p = page.find(marker);
  if (p == std::string::npos) return {};
  const size_t start = p + marker.size();
  std::string link = page.substr(start, page.find('"', start) - start);
  std::erase(link, '\\');
  return link;
}

// Signs in as demo/demo and returns the "MEVRASID=..." pair of the session cookie.
inline std::string SignIn(int login_port, const std::string& user = "demo",
                          const std::string& password = "demo") {
  httplib::Client client("127.0.0.1", login_port);
  auto res =
      client.Post("/v2/?login&tpl=mn", httplib::Params{{"username", user}, {"password", password}});
  if (!res) return {};
  const std::string cookie = res->get_header_value("Set-Cookie");
  return cookie.substr(0, cookie.find(';'));
}

struct RawAnswer {
  std::string head;
  std::string body;
  bool closed = false;  // the server closed the connection
};

// Sends one GET (with `headers`, each ending in CR LF) and reads until the server closes or
// resets, or stays silent for `idle_ms`.
inline RawAnswer RawGet(int port, const std::string& target, int idle_ms,
                        const std::string& headers = {}) {
  RawAnswer answer;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return answer;
  }
  const std::string request =
      "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string all;
  char buffer[65536];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, idle_ms) <= 0) break;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      answer.closed = true;
      break;
    }
    all.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  const size_t end = all.find("\r\n\r\n");
  answer.head = all.substr(0, end);
  if (end != std::string::npos) answer.body = all.substr(end + 4);
  return answer;
}

}  // namespace mevra::portal::testing
