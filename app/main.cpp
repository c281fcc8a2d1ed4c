#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "app/application_setup.h"
#include "app/batch_run.h"
#include "app/demo_portal.h"
#include "app/endpoints.h"
#include "app/instance_channel.h"
#include "app/instance_lock.h"
#include "app/limits.h"
#include "app/main_window.h"
#include "app/program_paths.h"
#include "app/program_proxy.h"
#include "app/termination_watch.h"
#include "browser/browser_control.h"
#include "browser/browser_proxy.h"

namespace {

constexpr char kUsage[] =
    "usage: MevraMP3Manager [--lang LANGUAGE] | --help | --version\n"
    "       MevraMP3Manager --batch URL [--rate 128|192|320] [--to DIR] [--parallel N]\n"
    "                       [--lang LANGUAGE]\n"
    "Opens the Mevra音乐管家 window. --lang zh_CN or --lang en chooses the language of its texts\n"
    "(otherwise the key Language of section Config in config.ini, else Chinese). The window's\n"
    "settings live in config.ini (see the manual page). A second start with the same config.ini\n"
    "brings the running window to the front instead of opening another.\n"
    "--batch downloads every song of the page URL without a window, signed in as the window\n"
    "last was, with config.ini's settings; the options override them for this run only. One\n"
    "line per song on standard output. Exit status 0: nothing failed, 1: a song failed,\n"
    "2: the batch could not start, 130: stopped by Ctrl-C.\n";

struct CommandLine {
  // The exit status when the program is to end at once; -1 when the window is to open.
  int exit_status = -1;
  std::optional<mevra::app::Language> language;
  std::optional<mevra::app::BatchOptions> batch;
};

int Refuse(const char* what, const char* argument) {
  std::fprintf(stderr, "MevraMP3Manager: %s \"%s\"\n%s", what, argument, kUsage);
  return 2;
}

// Answered before the application object exists, so that --help and --version need no display.
// Every argument is looked at first: one that is not known ends the program with status 2.
CommandLine ReadCommandLine(int argc, char** argv) {
  CommandLine line;
  std::string_view answer;
  // What follows --batch, --lang aside, is the batch's.
  std::vector<char*> batch_args;
  bool batch = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const char* name = nullptr;
    if (arg == "--batch" && !batch) {
      batch = true;
      continue;
    }
    if (batch && arg != "--lang" && !arg.starts_with("--lang=")) {
      batch_args.push_back(argv[i]);
      continue;
    }
    if (arg == "--help" || arg == "--version") {
      if (answer.empty()) answer = arg;
      continue;
    }
    if (arg == "--lang" && i + 1 < argc) {
      name = argv[++i];
    } else if (arg.starts_with("--lang=")) {
      name = argv[i] + 7;
    } else {
      line.exit_status = Refuse("unknown argument", argv[i]);
      return line;
    }
    line.language = mevra::app::LanguageNamed(QString::fromLocal8Bit(name));
    if (!line.language) {
      line.exit_status = Refuse("unknown language (zh_CN or en)", name);
      return line;
    }
  }
  if (batch && answer.empty()) {
    QString error;
    line.batch = mevra::app::ReadBatchOptions(static_cast<int>(batch_args.size()),
                                              batch_args.data(), &error);
    if (!line.batch) line.exit_status = Refuse("bad --batch", error.toLocal8Bit().constData());
  }
  if (answer == "--help") {
    std::fputs(kUsage, stdout);
    line.exit_status = 0;
  } else if (answer == "--version") {
    std::printf("MevraMP3Manager %s\n", MEVRA_VERSION);
    line.exit_status = 0;
  }
  return line;
}

// A copy holds the lock but does not answer: it hangs, or it runs without a window. A second
// window over the same settings, session and browser profile would overwrite what the first
// one keeps, so this start ends and says which process stands in the way.
int RefuseBesideSilentCopy(qint64 holder_pid) {
  const QString text =
      QCoreApplication::translate("SingleInstance",
                                  "Mevra音乐管家已在运行（进程%1），但没有应答。请关闭它后再启动。")
          .arg(holder_pid);
  std::fprintf(stderr, "MevraMP3Manager: %s\n", text.toLocal8Bit().constData());
  QMessageBox::warning(nullptr, mevra::app::MainWindow::ApplicationTitle(), text);
  return 1;
}

void BringToFront(QWidget& window) {
  if (window.isMinimized()) {
    window.showNormal();
  } else {
    window.show();
  }
  window.raise();
  window.activateWindow();
}

}  // namespace

int main(int argc, char* argv[]) {
  const CommandLine command_line = ReadCommandLine(argc, argv);
  if (command_line.exit_status >= 0) return command_line.exit_status;

  // A batch needs no display: its browser draws offscreen.
  if (command_line.batch) qputenv("QT_QPA_PLATFORM", "offscreen");
  mevra::browser::BrowserControl::PrepareApplication();
  QApplication application(argc, argv);
  using mevra::app::ProgramPaths;
  mevra::app::SetUpApplication(application,
                               command_line.language.value_or(
                                   mevra::app::ConfiguredLanguage(ProgramPaths::ConfigFilePath())));
  if (command_line.batch) return mevra::app::RunBatch(*command_line.batch);
  QApplication::setDesktopFileName(QStringLiteral(MEVRA_APP_ID));
  // The browser engine takes its proxy when it starts, before any page or profile exists.
  mevra::browser::BrowserProxy::Use(
      mevra::app::ProxyChoice::FromConfig(ProgramPaths::ConfigFilePath()).ForBrowser());

  // Held while the window runs, so that other starts with the same settings can tell. A start
  // that finds it held hands over to the copy that holds it; a lock that cannot be written at
  // all does not keep the window from opening.
  mevra::app::InstanceLock instance_lock(mevra::app::InstanceLock::DefaultPath());
  if (!instance_lock.TryLock() && instance_lock.HeldElsewhere()) {
    using mevra::app::InstanceChannel;
    if (InstanceChannel::AskToRaise(instance_lock.Path(), mevra::app::kInstanceAnswerWaitMs) ==
        InstanceChannel::Answer::kRaised) {
      return 0;
    }
    return RefuseBesideSilentCopy(instance_lock.HolderPid());
  }

  // Declared before the window so that the portal outlives it.
  const auto demo_portal = mevra::app::DemoPortal::StartIfAbsent(
      mevra::app::Endpoints::Load(ProgramPaths::ConfigFilePath()), mevra::app::Endpoints{},
      ProgramPaths::ProgramDirectory() + QStringLiteral("/mevra-portal"),
      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
          QStringLiteral("/mevra-portal"));

  mevra::app::MainWindow window;
  mevra::app::TerminationWatch termination_watch(&window);
  window.show();
  // Listening begins once there is a window to raise; a start meanwhile waits for it.
  mevra::app::InstanceChannel instance_channel(instance_lock.Path());
  instance_channel.OnRaise = [&window] { BringToFront(window); };
  if (instance_lock.Locked()) instance_channel.Listen();
  return QApplication::exec();
}
