#pragma once

#include <QString>

namespace mevra::app {

// Removes leading and trailing characters with codes up to 32. Unlike QString::trimmed() it
// strips every control character and leaves Unicode spaces such as U+00A0 alone.
QString TrimText(const QString& text);

}  // namespace mevra::app
