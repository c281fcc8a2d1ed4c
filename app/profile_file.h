#pragma once

#include <string>
#include <string_view>

namespace mevra::app {

// Reads and writes single values of an INI file on disk (see IniDocument for the format).
// Neither operation throws: a file that cannot be read reads as empty, and a value that cannot
// be written is simply not written, which is all the settings code wants.
class ProfileFile {
 public:
  static std::string ReadString(const std::string& path, std::string_view section,
                                std::string_view key, std::string_view default_value);
  // Creates the file when it does not exist; false when the file could not be written.
  static bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view value);
};

}  // namespace mevra::app
