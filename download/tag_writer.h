#pragma once

#include <QString>

namespace mevra::download {

// Gives an MP3 file that carries no title or no artist tag the ones it lacks, in an ID3v2.3
// tag at its start; tags the file has are left as they are. False when the file is no MP3 or
// could not be written; the file is then as it was.
bool WriteMissingTags(const QString& path, const QString& title, const QString& artist);

}  // namespace mevra::download
