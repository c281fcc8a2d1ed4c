#include <QApplication>
#include <QStandardPaths>
#include <cstdio>
#include <string_view>

#include "app/application_setup.h"
#include "app/demo_portal.h"
#include "app/endpoints.h"
#include "app/main_window.h"
#include "app/program_paths.h"
#include "app/termination_watch.h"
#include "browser/browser_control.h"

namespace {

constexpr char kUsage[] =
    "usage: MevraMP3Manager [--help | --version]\n"
    "Opens the Mevra音乐管家 window. The window itself takes no options; its settings live in\n"
    "config.ini (see the manual page).\n";

// Answered before the application object exists, so that neither needs a display. Returns the
// exit status, or -1 when the window is to open.
int AnswerCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg != "--help" && arg != "--version") {
      std::fprintf(stderr, "MevraMP3Manager: unknown argument \"%s\"\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (argc < 2) return -1;
  if (std::string_view(argv[1]) == "--help") {
    std::fputs(kUsage, stdout);
  } else {
    std::printf("MevraMP3Manager %s\n", MEVRA_VERSION);
  }
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (const int status = AnswerCommandLine(argc, argv); status >= 0) return status;

  mevra::browser::BrowserControl::PrepareApplication();
  QApplication application(argc, argv);
  mevra::app::SetUpApplication(application);
  QApplication::setDesktopFileName(QStringLiteral(MEVRA_APP_ID));

  using mevra::app::ProgramPaths;
  // Declared before the window so that the portal outlives it.
  const auto demo_portal = mevra::app::DemoPortal::StartIfAbsent(
      mevra::app::Endpoints::Load(ProgramPaths::ConfigFilePath()), mevra::app::Endpoints{},
      ProgramPaths::ProgramDirectory() + QStringLiteral("/mevra-portal"),
      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
          QStringLiteral("/mevra-portal"));

  mevra::app::MainWindow window;
  mevra::app::TerminationWatch termination_watch(&window);
  window.show();
  return QApplication::exec();
}
