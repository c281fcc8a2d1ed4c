#pragma once

#include <QString>

namespace mevra::download {

// Gives an MP3 file that carries no title or no artist tag the ones it lacks, in the ID3v2 tag
// at its start (a new one is version 2.3); the tag keeps its version and every frame it has. False
// when the file is no MP3 or could not be written; the file is then as it was.
bool WriteMissingTags(const QString& path, const QString& title, const QString& artist);

}  // namespace mevra::download
