#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/ini_document.h"

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
  // The whole file at once: empty for a file that does not exist, nothing for one that exists
  // but cannot be read, so that a write never replaces content that was merely unreadable.
  static std::optional<IniDocument> ReadDocument(const std::string& path);
  // Replaces the file's content with the document's text (creating the file); false when it
  // could not be written.
  static bool WriteDocument(const std::string& path, const IniDocument& document);
};

}  // namespace mevra::app
