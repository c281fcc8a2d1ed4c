#include "tests/app/x11/x_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace mevra::app::testing {

XServer::~XServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

QString XServer::Start(const char* binary) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  pid_ = ::fork();
  if (pid_ < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return {};
  }
  if (pid_ == 0) {
    ::close(fds[0]);
    // The server writes the display number it chose to this descriptor once it accepts clients.
    const std::string fd = std::to_string(fds[1]);
    ::execl(binary, binary, "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
            "tcp", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string number;
  char c = 0;
  while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(fds[0]);
  if (number.empty()) return {};
  return QStringLiteral(":") + QString::fromStdString(number);
}

}  // namespace mevra::app::testing
