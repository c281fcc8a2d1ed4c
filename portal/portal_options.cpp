#include "portal/portal_options.h"

#include <arpa/inet.h>

#include <charconv>
#include <limits>
#include <stdexcept>

#include "portal/limits.h"

namespace mevra::portal {
namespace {

template <typename T>
T ParseNumber(const std::string& option, const std::string& text, T max) {
  T value{};
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || text[0] == '-' || ec != std::errc() || ptr != end || value > max) {
    throw std::invalid_argument("invalid value for " + option + ": \"" + text + "\"");
  }
  return value;
}

// The portal's CA may only vouch for the loopback interface, and the demo is for this machine
// alone: 127.0.0.0/8 and ::1.
bool IsLoopbackAddress(const std::string& text) {
  in_addr v4{};
  if (inet_pton(AF_INET, text.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  return inet_pton(AF_INET6, text.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

}  // namespace

PortalOptions ParsePortalOptions(const std::vector<std::string>& args) {
  PortalOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool has_value = false;
    if (const size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      has_value = true;
    }
    if (name == "--help" || name == "-h") {
      options.help = true;
      continue;
    }
    if (name == "--version") {
      options.version = true;
      continue;
    }
    if (name == "--tls") {
      options.tls = true;
      continue;
    }
    auto next = [&]() -> const std::string& {
      if (!has_value) {
        if (i + 1 >= args.size()) throw std::invalid_argument("missing value for " + name);
        value = args[++i];
      }
      return value;
    };
    if (name == "--home-port") {
      options.home_port = ParseNumber<int>(name, next(), 65535);
    } else if (name == "--login-port") {
      options.login_port = ParseNumber<int>(name, next(), 65535);
    } else if (name == "--music-port") {
      options.music_port = ParseNumber<int>(name, next(), 65535);
    } else if (name == "--site-port") {
      options.site_port = ParseNumber<int>(name, next(), 65535);
    } else if (name == "--data-dir") {
      if (next().empty()) throw std::invalid_argument("empty value for --data-dir");
      options.data_dir = value;
    } else if (name == "--listen") {
      if (!IsLoopbackAddress(next())) {
        throw std::invalid_argument(
            "--listen needs a loopback address such as 127.0.0.1 or ::1, "
            "got \"" +
            value + "\"");
      }
      options.listen = value;
    } else if (name == "--stamp") {
      options.stamp = next();
    } else if (name == "--account") {
      const std::string& account = next();
      const size_t colon = account.find(':');
      if (colon == std::string::npos || colon == 0 || colon + 1 == account.size()) {
        throw std::invalid_argument("--account needs USER:PASSWORD, got \"" + account + "\"");
      }
      options.accounts.emplace_back(account.substr(0, colon), account.substr(colon + 1));
    } else if (name == "--rate-limit") {
      options.rate_limit =
          ParseNumber<uint64_t>(name, next(), std::numeric_limits<uint32_t>::max());
    } else if (name == "--big-chart") {
      options.big_chart = ParseNumber<size_t>(name, next(), kMaxBigChartSongs);
    } else if (name == "--stall-seconds") {
      options.stall_seconds = ParseNumber<int>(name, next(), kMaxStallSeconds);
    } else {
      throw std::invalid_argument("unknown argument \"" + args[i] + "\"");
    }
  }
  return options;
}

std::string PortalUsage() {
  return "usage: mevra-portal [options]\n"
         "  --home-port N       portal home page (default 18080; 0 = any free port)\n"
         "  --login-port N      sign-in host (default 18081)\n"
         "  --music-port N      charts, download pages and files (default 18082)\n"
         "  --site-port N       maker's site with the update stamp (default 18083)\n"
         "  --data-dir DIR      where encoded MP3 files and sign-in sessions are kept\n"
         "  --stamp TEXT        content of /mevramp3.txt (default 201212251550)\n"
         "  --account USER:PW   one more account besides demo:demo (repeatable)\n"
         "  --rate-limit BYTES  throttle file bodies to BYTES per second\n"
         "  --stall-seconds N   how long the stalling song keeps silent (default 300)\n"
         "  --big-chart N       also serve /top/big, a chart of N songs (at most 100000)\n"
         "  --tls               serve HTTPS; the portal's own CA (good for the loopback\n"
         "                      interface only) and a certificate for 127.0.0.1, ::1\n"
         "                      and localhost are kept in DIR/tls\n"
         "  --listen ADDRESS    the loopback address to listen on (default 127.0.0.1;\n"
         "                      ::1 serves IPv6)\n"
         "  --version           print the version and exit\n"
         "All hosts listen on that one address. Once they do, one line\n"
         "  ports home=N login=N music=N site=N\n"
         "is printed on standard output; with --tls a line\n"
         "  ca-file PATH\n"
         "naming the CA certificate for clients to trust comes before it.\n";
}

}  // namespace mevra::portal
