#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mevra::app {

// The text of an INI file with private-profile semantics: "[Section]" lines open sections,
// "key=value" lines hold values. Section and key names match without regard to ASCII case,
// values are raw (no escaping, no quoting). Changing a value rewrites only that one line; every
// other line, section and line ending stays byte for byte as it was.
class IniDocument {
 public:
  explicit IniDocument(std::string text = {}) : text_(std::move(text)) {}

  // The raw text behind the first "=" of the key's line, without the line ending; nothing when
  // the section or the key is absent. The first section of a name wins, as does its first key.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

  // Replaces the key's line, or adds the key at the end of its section, or adds the section at
  // the end of the text.
  void SetValue(std::string_view section, std::string_view key, std::string_view value);

  const std::string& Text() const { return text_; }

 private:
  struct Line {
    size_t begin;  // first byte of the line
    size_t end;    // one past the last byte before the line ending
    size_t next;   // first byte of the following line
  };
  struct KeyLookup {
    bool section_found = false;
    std::optional<Line> key_line;
    size_t insert_at = 0;  // where a new key of the section goes
  };

  KeyLookup Find(std::string_view section, std::string_view key) const;
  std::string LineEnding() const;

  std::string text_;
};

}  // namespace mevra::app
