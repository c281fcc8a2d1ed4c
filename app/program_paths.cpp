#include "app/program_paths.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace mevra::app {
namespace {

const QString kProgramFolderName = QStringLiteral("MevraMP3Manager");

bool ProgramDirectoryWritable() {
  const QByteArray directory = QFile::encodeName(ProgramPaths::ProgramDirectory());
  return !directory.isEmpty() && ::access(directory.constData(), W_OK) == 0;
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
  if (ProgramDirectoryWritable()) return ProgramDirectory() + QStringLiteral("/config.ini");
  return InUserFolder(QStandardPaths::GenericConfigLocation, QStringLiteral("config.ini"));
}

QString ProgramPaths::TempFilePath() {
  if (ProgramDirectoryWritable()) return ProgramDirectory() + QStringLiteral("/temp.mp3");
  return InUserFolder(QStandardPaths::GenericCacheLocation, QStringLiteral("temp.mp3"));
}

QString ProgramPaths::DefaultSaveFolder() {
  const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  if (!music.isEmpty() && QDir(music).exists()) return music;
  return QDir::homePath();
}

}  // namespace mevra::app
