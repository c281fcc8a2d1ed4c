#include "app/application_setup.h"

#include <QCoreApplication>

namespace mevra::app {

void SetUpApplication(QCoreApplication& /*application*/) {
  QCoreApplication::setApplicationName(QStringLiteral("Mevra音乐管家"));
}

}  // namespace mevra::app
