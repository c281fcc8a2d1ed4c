#include "browser/shared_profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QWebEngineProfile>

namespace mevra::browser {

namespace {

struct ProfileState {
  QWebEngineProfile* profile = nullptr;
  int holders = 0;
  QString storage_path;
  QString engine_default_user_agent;
};

ProfileState& State() {
  static ProfileState state;
  return state;
}

}  // namespace

void SharedProfile::SetStoragePath(const QString& path) { State().storage_path = path; }

QString SharedProfile::StoragePath() {
  if (!State().storage_path.isEmpty()) return State().storage_path;
  return qEnvironmentVariable(kStorageEnvVar);
}

QWebEngineProfile* SharedProfile::Acquire() {
  ProfileState& state = State();
  if (state.profile == nullptr) {
    auto* profile = new QWebEngineProfile(QString::fromLatin1(kStorageName));
    const QString path = StoragePath();
    if (!path.isEmpty()) {
      QDir().mkpath(path);
      profile->setPersistentStoragePath(path);
      profile->setCachePath(QDir(path).filePath(QStringLiteral("cache")));
    }
    // Session cookies are kept as well, so a sign-in holds across runs.
    profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    state.engine_default_user_agent = profile->httpUserAgent();
    state.profile = profile;
    // Registered after the engine's own clean-up, so it runs before it (the routines run in
    // reverse order of registration).
    qAddPostRoutine(&SharedProfile::DestroyAtExit);
  }
  ++state.holders;
  return state.profile;
}

void SharedProfile::Release() {
  ProfileState& state = State();
  if (state.holders > 0) --state.holders;
}

QWebEngineProfile* SharedProfile::Current() { return State().profile; }

void SharedProfile::DestroyAtExit() {
  ProfileState& state = State();
  // A page still alive at this point keeps its profile; the engine then cleans up on its own.
  if (state.holders == 0) delete state.profile;
  state.profile = nullptr;
  state.holders = 0;
}

QString SharedProfile::EngineDefaultUserAgent() { return State().engine_default_user_agent; }

}  // namespace mevra::browser
