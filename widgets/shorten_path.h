#pragma once

#include <QString>
#include <functional>

namespace mevra::widgets {

// Shortens a path until `text_width` says it fits `max_width`, replacing the leading
// directories one by one by a single ".../" component:
//   /home/user/music/a.mp3 → /.../user/music/a.mp3 → /.../music/a.mp3 → /.../a.mp3 → .../a.mp3
//   → a.mp3. The name itself is never cut.
QString ShortenPath(const QString& path, int max_width,
                    const std::function<int(const QString&)>& text_width);

}  // namespace mevra::widgets
