#pragma once

#include <QString>

class QWebEngineProfile;

namespace mevra::browser {

// The one browser profile every browser control uses, so a sign-in made in the visible browser
// also holds in the hidden one. Its cookies live on disk and survive the program.
//
// The profile is created with the first control and lives until the application object goes,
// even when every control is gone in between: the engine does not recover keyboard input for
// pages of a second profile of the same name. It is destroyed before the engine shuts down,
// which is when the engine writes its cookie store out.
class SharedProfile {
 public:
  static constexpr const char* kStorageName = "MevraMP3Manager";
  // Read when no storage path was set; lets tests and scripts keep the profile in a folder of
  // their own.
  static constexpr const char* kStorageEnvVar = "MEVRA_PROFILE_DIR";

  // Where the profile keeps its data; only a call before the first control is created counts.
  // Empty means the engine's place in the user's data folder.
  static void SetStoragePath(const QString& path);

  // A control takes the profile for its lifetime and gives it back when it is destroyed.
  static QWebEngineProfile* Acquire();
  static void Release();
  static QWebEngineProfile* Current();

  // The engine's own user agent, read before the host changed it.
  static QString EngineDefaultUserAgent();

 private:
  static QString StoragePath();
  static void DestroyAtExit();
};

}  // namespace mevra::browser
