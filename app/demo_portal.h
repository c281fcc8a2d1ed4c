#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

class QProcess;

namespace mevra::app {

struct Endpoints;

// The bundled demo portal as a child of the program. An installed program started from the menu
// has nobody to start the portal for it, so it starts the one installed beside it, but only when
// the configuration still points at the demo's home page and nothing answers there: a portal of
// the user's own, or any other configuration, is left alone. The child ends with the program,
// also when the program is killed.
class DemoPortal {
 public:
  // Starts `portal_program` on the ports of the `demo` endpoints with its data in `data_dir`
  // and waits until its home page answers. Returns null when it has nothing to do or the portal
  // does not come up (it then says why on standard error).
  static std::unique_ptr<DemoPortal> StartIfAbsent(const Endpoints& configured,
                                                   const Endpoints& demo,
                                                   const QString& portal_program,
                                                   const QString& data_dir);

  // Whether something accepts TCP connections at the host and port of `url`.
  static bool Answers(const QString& url);

  DemoPortal(const DemoPortal&) = delete;
  DemoPortal& operator=(const DemoPortal&) = delete;
  // Asks the portal to stop and waits for it, killing it when it does not.
  ~DemoPortal();

  qint64 ProcessId() const;

 private:
  explicit DemoPortal(std::unique_ptr<QProcess> process);

  std::unique_ptr<QProcess> process_;
};

}  // namespace mevra::app
