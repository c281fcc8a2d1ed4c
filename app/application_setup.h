#pragma once

#include <QString>

class QCoreApplication;

namespace mevra::app {

// What the program sets on its application object before the window is built. No display name
// is set, since Qt appends one to every window title it hands to the window system, and the
// captions must read exactly as designed.
void SetUpApplication(QCoreApplication& application);

}  // namespace mevra::app
