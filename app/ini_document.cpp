#include "app/ini_document.h"

#include <algorithm>
#include <cctype>

namespace mevra::app {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(begin, end - begin);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The name of a section header line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimBlanks(line.substr(1, close - 1));
}

}  // namespace

IniDocument::KeyLookup IniDocument::Find(std::string_view section, std::string_view key) const {
  KeyLookup lookup;
  bool inside = false;
  size_t position = 0;
  while (position < text_.size()) {
    Line line{position, text_.find('\n', position), 0};
    if (line.end == std::string::npos) {
      line.end = text_.size();
      line.next = text_.size();
    } else {
      line.next = line.end + 1;
    }
    if (line.end > line.begin && text_[line.end - 1] == '\r') --line.end;
    position = line.next;
    const std::string_view content(text_.data() + line.begin, line.end - line.begin);

    if (auto name = SectionName(content)) {
      // Only the first section of a name counts; leaving it ends the search.
      if (inside) break;
      inside = SameName(*name, section);
      if (inside) {
        lookup.section_found = true;
        lookup.insert_at = line.next;
      }
      continue;
    }
    if (!inside) continue;
    if (!TrimBlanks(content).empty()) lookup.insert_at = line.next;
    const size_t equals = content.find('=');
    if (equals != std::string_view::npos && SameName(TrimBlanks(content.substr(0, equals)), key)) {
      lookup.key_line = line;
      return lookup;
    }
  }
  return lookup;
}

std::optional<std::string> IniDocument::Value(std::string_view section,
                                              std::string_view key) const {
  const KeyLookup lookup = Find(section, key);
  if (!lookup.key_line) return std::nullopt;
  const Line& line = *lookup.key_line;
  const size_t equals = text_.find('=', line.begin);
  return text_.substr(equals + 1, line.end - equals - 1);
}

std::string IniDocument::LineEnding() const {
  const size_t newline = text_.find('\n');
  return newline != std::string::npos && newline > 0 && text_[newline - 1] == '\r' ? "\r\n" : "\n";
}

void IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
  const std::string eol = LineEnding();
  std::string entry = std::string(key) + "=" + std::string(value);
  const KeyLookup lookup = Find(section, key);
  if (lookup.key_line) {
    text_.replace(lookup.key_line->begin, lookup.key_line->end - lookup.key_line->begin, entry);
    return;
  }
  if (lookup.section_found) {
    // The section's last line may be the file's last line and lack its line ending.
    size_t at = lookup.insert_at;
    if (at == text_.size() && at > 0 && text_.back() != '\n') {
      text_ += eol;
      at = text_.size();
    }
    text_.insert(at, entry + eol);
    return;
  }
  if (!text_.empty() && text_.back() != '\n') text_ += eol;
  // Appended piece by piece: GCC 12 at -O3 misreads `"[" + std::string(...)` as an overlapping
  // copy (-Wrestrict).
  text_.append("[").append(section).append("]").append(eol).append(entry).append(eol);
}

}  // namespace mevra::app
