#include "app/profile_file.h"

#include <fstream>
#include <iterator>
#include <optional>

#include "app/ini_document.h"

namespace mevra::app {
namespace {

// Nothing when the file exists but cannot be read, so a write never replaces content that was
// merely unreadable.
std::optional<std::string> ReadWholeFile(const std::string& path, bool& exists) {
  std::ifstream in(path, std::ios::binary);
  exists = in.is_open();
  if (!exists) return std::string();
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return text;
}

}  // namespace

std::string ProfileFile::ReadString(const std::string& path, std::string_view section,
                                    std::string_view key, std::string_view default_value) {
  try {
    bool exists = false;
    const std::optional<std::string> text = ReadWholeFile(path, exists);
    if (!text) return std::string(default_value);
    return IniDocument(*text).Value(section, key).value_or(std::string(default_value));
  } catch (...) {
    return std::string(default_value);
  }
}

bool ProfileFile::WriteString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view value) {
  try {
    bool exists = false;
    std::optional<std::string> text = ReadWholeFile(path, exists);
    if (!text) return false;
    IniDocument document(std::move(*text));
    const std::string before = document.Text();
    document.SetValue(section, key, value);
    if (exists && document.Text() == before) return true;
    return WriteDocument(path, document);
  } catch (...) {
    return false;
  }
}

std::optional<IniDocument> ProfileFile::ReadDocument(const std::string& path) {
  try {
    bool exists = false;
    std::optional<std::string> text = ReadWholeFile(path, exists);
    if (!text) return std::nullopt;
    return IniDocument(std::move(*text));
  } catch (...) {
    return std::nullopt;
  }
}

bool ProfileFile::WriteDocument(const std::string& path, const IniDocument& document) {
  try {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(document.Text().data(), static_cast<std::streamsize>(document.Text().size()));
    out.close();
    return !out.fail();
  } catch (...) {
    return false;
  }
}

}  // namespace mevra::app
