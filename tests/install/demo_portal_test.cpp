// The program's start of its bundled demo portal, with the real mevra-portal on free loopback
// ports standing in for the demo's fixed ones.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <cerrno>

#include "app/demo_portal.h"
#include "app/endpoints.h"

namespace {

using mevra::app::DemoPortal;
using mevra::app::Endpoints;

// A socket listening on a loopback port the system chose; it answers connects from its backlog.
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen on loopback: errno " << errno;
    }
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { Close(); }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

QString Url(int port, const char* path) {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QLatin1String(path));
}

// The demo configuration moved to the given home, login, music and site ports.
Endpoints DemoOn(const std::array<int, 4>& ports) {
  Endpoints demo;
  demo.portal_home_url = Url(ports[0], "/");
  demo.portal_host = QStringLiteral("127.0.0.1:%1").arg(ports[0]);
  demo.login_host = QStringLiteral("127.0.0.1:%1").arg(ports[1]);
  demo.login_base_url = Url(ports[1], "");
  demo.music_base_url = Url(ports[2], "");
  demo.update_stamp_url = Url(ports[3], "/mevramp3.txt");
  demo.release_page_url = Url(ports[3], "/archives/41672/");
  demo.author_site_url = Url(ports[3], "/");
  demo.microblog_url = Url(ports[3], "/weibo/pelko");
  return demo;
}

// What the program says on standard error, gathered so a row can tell "nothing attempted" from
// "attempted and failed".
QStringList warnings;
void GatherWarning(QtMsgType, const QMessageLogContext&, const QString& message) {
  warnings.append(message);
}

bool ProcessGone(qint64 pid) { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

enum class Configured { kDemo, kDemoWithoutSlash, kOtherPortal };
enum class Occupied { kNothing, kHomePort, kLoginPort };

struct Case {
  const char* name;
  Configured configured;
  Occupied occupied;
  bool portal_installed;
  bool starts;
  bool complains;
};

TEST(DemoPortal, StartsOnlyForTheSilentDemoConfiguration) {
  const Case cases[] = {
      {"fresh machine", Configured::kDemo, Occupied::kNothing, true, true, false},
      {"home written without its slash", Configured::kDemoWithoutSlash, Occupied::kNothing, true,
       true, false},
      {"a portal already answers", Configured::kDemo, Occupied::kHomePort, true, false, false},
      {"another portal configured", Configured::kOtherPortal, Occupied::kNothing, true, false,
       false},
      {"no portal installed beside", Configured::kDemo, Occupied::kNothing, false, false, false},
      {"portal cannot take its ports", Configured::kDemo, Occupied::kLoginPort, true, false, true},
  };
  qInstallMessageHandler(GatherWarning);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Four free ports: listeners pick them, and all but an occupied one let go again.
    std::array<Listener, 4> listeners;
    const std::array<int, 4> ports = {listeners[0].Port(), listeners[1].Port(), listeners[2].Port(),
                                      listeners[3].Port()};
    for (int i = 0; i < 4; ++i) {
      const bool keep = (c.occupied == Occupied::kHomePort && i == 0) ||
                        (c.occupied == Occupied::kLoginPort && i == 1);
      if (!keep) listeners[i].Close();
    }
    const Endpoints demo = DemoOn(ports);
    Endpoints configured = demo;
    if (c.configured == Configured::kDemoWithoutSlash) {
      configured.portal_home_url = Url(ports[0], "");
    } else if (c.configured == Configured::kOtherPortal) {
      configured.portal_home_url = QStringLiteral("http://localhost:1/");
    }
    QTemporaryDir scratch;
    const QString program = c.portal_installed ? QStringLiteral(MEVRA_PORTAL_BINARY)
                                               : scratch.filePath(QStringLiteral("mevra-portal"));
    const QString data_dir = scratch.filePath(QStringLiteral("cache/mevra-portal"));

    qint64 pid = 0;
    warnings.clear();
    {
      const auto portal = DemoPortal::StartIfAbsent(configured, demo, program, data_dir);
      ASSERT_EQ(portal != nullptr, c.starts);
      if (portal) {
        pid = portal->ProcessId();
        // Every host of the demo answers, and the portal keeps its files where it is told.
        EXPECT_TRUE(DemoPortal::Answers(demo.portal_home_url));
        EXPECT_TRUE(DemoPortal::Answers(demo.login_base_url));
        EXPECT_TRUE(DemoPortal::Answers(demo.music_base_url));
        EXPECT_TRUE(DemoPortal::Answers(demo.update_stamp_url));
        QFile command_line(QStringLiteral("/proc/%1/cmdline").arg(pid));
        ASSERT_TRUE(command_line.open(QIODevice::ReadOnly));
        EXPECT_TRUE(command_line.readAll().split('\0').contains(data_dir.toLocal8Bit()));
      } else if (c.occupied != Occupied::kHomePort) {
        // Nothing was left running on the demo's home port.
        EXPECT_FALSE(DemoPortal::Answers(demo.portal_home_url));
      }
    }
    EXPECT_EQ(!warnings.isEmpty(), c.complains) << warnings.join(QLatin1Char('\n')).toStdString();
    if (pid != 0) {
      EXPECT_TRUE(ProcessGone(pid)) << "the portal outlived its owner";
      EXPECT_FALSE(DemoPortal::Answers(demo.portal_home_url));
    }
  }
  qInstallMessageHandler(nullptr);
}

TEST(DemoPortal, AnswersOnlyWhereSomethingListens) {
  Listener listener;
  EXPECT_TRUE(DemoPortal::Answers(Url(listener.Port(), "/")));
  listener.Close();
  EXPECT_FALSE(DemoPortal::Answers(Url(listener.Port(), "/")));
  EXPECT_FALSE(DemoPortal::Answers(QStringLiteral("not a url")));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
