#include "app/program_paths.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace mevra::app {
namespace {

const QString kProgramFolderName = QStringLiteral("MevraMP3Manager");

// An installed copy (its desktop entry where the install put it) keeps its files in the user's
// folders even when it could write beside itself, as root can: that folder is the system's.
bool InstalledCopy() {
  return QFileInfo::exists(ProgramPaths::ProgramDirectory() +
                           QStringLiteral("/" MEVRA_INSTALLED_DESKTOP_ENTRY));
}

bool FilesBesideProgram() {
  const QByteArray directory = QFile::encodeName(ProgramPaths::ProgramDirectory());
  return !directory.isEmpty() && ::access(directory.constData(), W_OK) == 0 && !InstalledCopy();
}

QString InUserFolder(QStandardPaths::StandardLocation location, const QString& file_name) {
  QString base = QStandardPaths::writableLocation(location);
  if (base.isEmpty()) base = QDir::homePath();
  const QString folder = base + QLatin1Char('/') + kProgramFolderName;
  QDir().mkpath(folder);
  return folder + QLatin1Char('/') + file_name;
}

}  // namespace

QString ProgramPaths::ProgramDirectory() { return QCoreApplication::applicationDirPath(); }

QString ProgramPaths::ConfigFilePath() {
  if (FilesBesideProgram()) return ProgramDirectory() + QStringLiteral("/config.ini");
  return InUserFolder(QStandardPaths::GenericConfigLocation, QStringLiteral("config.ini"));
}

QString ProgramPaths::TempFilePath() {
  if (FilesBesideProgram()) return ProgramDirectory() + QStringLiteral("/temp.mp3");
  return InUserFolder(QStandardPaths::GenericCacheLocation, QStringLiteral("temp.mp3"));
}

QString ProgramPaths::SessionFilePath() {
  if (FilesBesideProgram()) return ProgramDirectory() + QStringLiteral("/session.sqlite");
  return InUserFolder(QStandardPaths::GenericDataLocation, QStringLiteral("session.sqlite"));
}

QString ProgramPaths::DefaultSaveFolder() {
  const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  if (!music.isEmpty() && QDir(music).exists()) return music;
  return QDir::homePath();
}

}  // namespace mevra::app
