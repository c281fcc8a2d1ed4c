#pragma once

#include <QString>

namespace mevra::app {

// Where the program keeps its files. config.ini, session.sqlite and temp.mp3 live beside the
// executable when that directory is writable and not an installed copy's (a portable copy);
// otherwise config.ini goes to the user's configuration folder, session.sqlite to the user's
// data folder and temp.mp3 to the user's cache folder.
class ProgramPaths {
 public:
  static QString ProgramDirectory();
  static QString ConfigFilePath();
  static QString TempFilePath();
  // session.sqlite beside config.ini, or in the user's data folder for an installed copy.
  static QString SessionFilePath();
  // The save folder before the user has chosen one: the music folder, else the home folder.
  static QString DefaultSaveFolder();
};

}  // namespace mevra::app
