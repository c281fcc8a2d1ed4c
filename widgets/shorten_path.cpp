#include "widgets/shorten_path.h"

namespace mevra::widgets {
namespace {

const QString kEllipsisDir = QStringLiteral(".../");
const QString kRootEllipsisDir = QStringLiteral("/.../");

}  // namespace

QString ShortenPath(const QString& path, int max_width,
                    const std::function<int(const QString&)>& text_width) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  QString dir = slash >= 0 ? path.left(slash + 1) : QString();
  const QString name = path.mid(slash + 1);
  QString text = dir + name;
  while (!dir.isEmpty() && text_width(text) > max_width) {
    if (dir == kRootEllipsisDir) {
      dir = kEllipsisDir;
    } else if (dir == QLatin1String("/")) {
      dir.clear();
    } else {
      const bool leading_slash = dir.startsWith(QLatin1Char('/'));
      if (leading_slash) dir.remove(0, 1);
      // Only a real ellipsis component is dropped here; a hidden directory such as ".cfg/"
      // also starts with a dot and must be cut as a whole below.
      if (dir.startsWith(kEllipsisDir)) dir.remove(0, kEllipsisDir.size());
      const qsizetype next = dir.indexOf(QLatin1Char('/'));
      dir = next < 0 ? QString() : kEllipsisDir + dir.mid(next + 1);
      if (leading_slash) dir.prepend(QLatin1Char('/'));
    }
    text = dir + name;
  }
  return text;
}

}  // namespace mevra::widgets
