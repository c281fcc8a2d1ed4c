#include <QApplication>
#include <QStandardPaths>
#include <cstdio>
#include <optional>
#include <string_view>

#include "app/application_setup.h"
#include "app/demo_portal.h"
#include "app/endpoints.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/program_paths.h"
#include "app/program_proxy.h"
#include "app/termination_watch.h"
#include "browser/browser_control.h"
#include "browser/browser_proxy.h"

namespace {

constexpr char kUsage[] =
    "usage: MevraMP3Manager [--lang LANGUAGE] | --help | --version\n"
    "Opens the Mevra音乐管家 window. --lang zh_CN or --lang en chooses the language of its texts\n"
    "(otherwise the key Language of section Config in config.ini, else Chinese). The window's\n"
    "settings live in config.ini (see the manual page).\n";

struct CommandLine {
  // The exit status when the program is to end at once; -1 when the window is to open.
  int exit_status = -1;
  std::optional<mevra::app::Language> language;
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
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const char* name = nullptr;
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
  if (answer == "--help") {
    std::fputs(kUsage, stdout);
    line.exit_status = 0;
  } else if (answer == "--version") {
    std::printf("MevraMP3Manager %s\n", MEVRA_VERSION);
    line.exit_status = 0;
  }
  return line;
}

}  // namespace

int main(int argc, char* argv[]) {
  const CommandLine command_line = ReadCommandLine(argc, argv);
  if (command_line.exit_status >= 0) return command_line.exit_status;

  mevra::browser::BrowserControl::PrepareApplication();
  QApplication application(argc, argv);
  using mevra::app::ProgramPaths;
  mevra::app::SetUpApplication(application,
                               command_line.language.value_or(
                                   mevra::app::ConfiguredLanguage(ProgramPaths::ConfigFilePath())));
  QApplication::setDesktopFileName(QStringLiteral(MEVRA_APP_ID));
  // The browser engine takes its proxy when it starts, before any page or profile exists.
  mevra::browser::BrowserProxy::Use(
      mevra::app::ProxyChoice::FromConfig(ProgramPaths::ConfigFilePath()).ForBrowser());

  // Declared before the window so that the portal outlives it.
  const auto demo_portal = mevra::app::DemoPortal::StartIfAbsent(
      mevra::app::Endpoints::Load(ProgramPaths::ConfigFilePath()), mevra::app::Endpoints{},
      ProgramPaths::ProgramDirectory() + QStringLiteral("/mevra-portal"),
      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
          QStringLiteral("/mevra-portal"));

  // Held while the window runs, so that other starts with the same settings can tell.
  mevra::app::InstanceLock instance_lock(mevra::app::InstanceLock::DefaultPath());
  instance_lock.TryLock();

  mevra::app::MainWindow window;
  mevra::app::TerminationWatch termination_watch(&window);
  window.show();
  return QApplication::exec();
}
