#include "app/demo_portal.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDebug>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <cerrno>

#include "app/endpoints.h"

namespace mevra::app {
namespace {

// A loopback peer answers a connect at once; the bound only matters for a configured name that
// resolves somewhere slow.
constexpr int kProbeTimeoutMs = 1000;
// The portal binds its four ports within milliseconds; a loaded machine gets plenty of slack.
constexpr int kListenTimeoutMs = 15000;
constexpr int kListenPollMs = 50;
// The portal hangs up its clients and exits within a fraction of a second of SIGTERM.
constexpr int kStopTimeoutMs = 5000;

// A home page given with or without its root slash is the same page.
QUrl Normalised(const QString& url) {
  QUrl parsed(url);
  if (parsed.path().isEmpty()) parsed.setPath(QStringLiteral("/"));
  return parsed.adjusted(QUrl::NormalizePathSegments);
}

int PortOf(const QString& url) { return QUrl(url).port(80); }

bool ConnectWithin(const addrinfo& address, int timeout_ms) {
  const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          address.ai_protocol);
  if (fd < 0) return false;
  bool connected = ::connect(fd, address.ai_addr, address.ai_addrlen) == 0;
  if (!connected && errno == EINPROGRESS) {
    pollfd waiting{fd, POLLOUT, 0};
    if (::poll(&waiting, 1, timeout_ms) == 1) {
      int error = 0;
      socklen_t length = sizeof error;
      connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
  }
  ::close(fd);
  return connected;
}

}  // namespace

bool DemoPortal::Answers(const QString& url) {
  const QUrl parsed(url);
  if (!parsed.isValid() || parsed.host().isEmpty()) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const QByteArray host = parsed.host().toUtf8();
  const QByteArray port = QByteArray::number(parsed.port(80));
  if (::getaddrinfo(host.constData(), port.constData(), &hints, &found) != 0) return false;
  bool answered = false;
  for (const addrinfo* a = found; a != nullptr && !answered; a = a->ai_next) {
    answered = ConnectWithin(*a, kProbeTimeoutMs);
  }
  ::freeaddrinfo(found);
  return answered;
}

std::unique_ptr<DemoPortal> DemoPortal::StartIfAbsent(const Endpoints& configured,
                                                      const Endpoints& demo,
                                                      const QString& portal_program,
                                                      const QString& data_dir) {
  if (Normalised(configured.portal_home_url) != Normalised(demo.portal_home_url)) return nullptr;
  if (!QFileInfo(portal_program).isExecutable()) return nullptr;
  if (Answers(demo.portal_home_url)) return nullptr;

  auto process = std::make_unique<QProcess>();
  process->setProgram(portal_program);
  process->setArguments(
      {QStringLiteral("--home-port"), QString::number(PortOf(demo.portal_home_url)),
       QStringLiteral("--login-port"), QString::number(PortOf(demo.login_base_url)),
       QStringLiteral("--music-port"), QString::number(PortOf(demo.music_base_url)),
       QStringLiteral("--site-port"), QString::number(PortOf(demo.update_stamp_url)),
       QStringLiteral("--data-dir"), data_dir});
  // Its request log and any complaint stay visible beside the program's own messages; the
  // ports line is of no use here.
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  const pid_t parent = ::getpid();
  process->setChildProcessModifier([parent] {
    // Even a killed program must not leave the portal holding the demo's ports.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(1);
  });
  process->start();
  if (!process->waitForStarted(kStopTimeoutMs)) {
    qWarning().noquote() << "MevraMP3Manager: cannot start" << portal_program << "-"
                         << process->errorString();
    return nullptr;
  }

  std::unique_ptr<DemoPortal> portal(new DemoPortal(std::move(process)));
  const QDeadlineTimer deadline(kListenTimeoutMs);
  while (!Answers(demo.portal_home_url)) {
    if (portal->process_->waitForFinished(kListenPollMs)) {
      qWarning().noquote() << "MevraMP3Manager: the demo portal ended at once with status"
                           << portal->process_->exitCode();
      return nullptr;
    }
    if (deadline.hasExpired()) {
      qWarning().noquote() << "MevraMP3Manager: the demo portal did not answer in time";
      return nullptr;  // the destructor stops it
    }
  }
  return portal;
}

DemoPortal::DemoPortal(std::unique_ptr<QProcess> process) : process_(std::move(process)) {}

DemoPortal::~DemoPortal() {
  if (process_->state() == QProcess::NotRunning) return;
  process_->terminate();
  if (!process_->waitForFinished(kStopTimeoutMs)) {
    process_->kill();
    process_->waitForFinished(kStopTimeoutMs);
  }
}

qint64 DemoPortal::ProcessId() const { return process_->processId(); }

}  // namespace mevra::app
