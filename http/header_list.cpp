#include "http/header_list.h"

#include <algorithm>

#include "http/text_util.h"

namespace mevra::http {

namespace {

constexpr char kSeparator[] = ": ";

bool IsContinuation(const std::string& line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

}  // namespace

std::string HeaderList::NameOf(size_t index) const {
  const std::string& line = lines_.at(index);
  return line.substr(0, line.find(':'));
}

size_t HeaderList::IndexOf(const std::string& name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (IsContinuation(lines_[i])) continue;
    const size_t colon = lines_[i].find(':');
    if (colon != std::string::npos &&
        EqualsNoCase(std::string_view(lines_[i]).substr(0, colon), name)) {
      return i;
    }
  }
  return lines_.size();
}

size_t HeaderList::EndOfHeader(size_t index) const {
  size_t end = index + 1;
  while (end < lines_.size() && IsContinuation(lines_[end])) ++end;
  return end;
}

std::string HeaderList::ValueAt(size_t index) const {
  const std::string& line = lines_[index];
  std::string value = line.substr(line.find(':') + 1);
  if (unfold_lines_) {
    for (size_t i = index + 1; i < EndOfHeader(index); ++i) {
      value = Trim(value) + " " + Trim(lines_[i]);
    }
  }
  return Trim(value);
}

std::string HeaderList::Value(const std::string& name) const {
  const size_t index = IndexOf(name);
  return index < lines_.size() ? ValueAt(index) : std::string();
}

void HeaderList::ExtractValues(const std::string& name, std::vector<std::string>& values) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (IsContinuation(lines_[i])) continue;
    const size_t colon = lines_[i].find(':');
    if (colon != std::string::npos &&
        EqualsNoCase(std::string_view(lines_[i]).substr(0, colon), name)) {
      values.push_back(ValueAt(i));
    }
  }
}

std::vector<std::string> HeaderList::Tokens(const std::string& name) const {
  std::vector<std::string> values;
  ExtractValues(name, values);
  std::vector<std::string> tokens;
  for (const std::string& value : values) {
    size_t start = 0;
    while (start <= value.size()) {
      const size_t comma = std::min(value.find(',', start), value.size());
      std::string token = Trim(std::string_view(value).substr(start, comma - start));
      if (!token.empty()) tokens.push_back(std::move(token));
      start = comma + 1;
    }
  }
  return tokens;
}

void HeaderList::SetValue(const std::string& name, const std::string& value) {
  const size_t index = IndexOf(name);
  const bool found = index < lines_.size();
  if (found) lines_.erase(lines_.begin() + index, lines_.begin() + EndOfHeader(index));
  if (value.empty()) return;

  const std::string line = name + kSeparator + value;
  std::vector<std::string> pieces;
  if (fold_lines_ && line.size() > fold_length_) {
    pieces = FoldLine(line, fold_length_);
  } else {
    pieces.push_back(line);
  }
  lines_.insert(found ? lines_.begin() + index : lines_.end(), pieces.begin(), pieces.end());
}

void HeaderList::AddLines(const HeaderList& other) {
  lines_.insert(lines_.end(), other.lines_.begin(), other.lines_.end());
}

std::string HeaderList::Text() const {
  std::string text;
  for (const std::string& line : lines_) text += line + "\r\n";
  return text;
}

std::vector<std::string> HeaderList::FoldLine(const std::string& line, size_t fold_length) {
  std::vector<std::string> pieces;
  std::string rest = line;
  // The first piece keeps at least the name and its separator.
  const size_t colon = line.find(':');
  size_t first_break = colon == std::string::npos ? 1 : colon + 2;
  while (rest.size() > fold_length) {
    // The last break character that keeps the piece within the length, else the first one
    // beyond it; a line without any break character stays whole.
    size_t break_at = std::string::npos;
    bool quoted = false;
    for (size_t i = 0; i < rest.size(); ++i) {
      const char c = rest[i];
      if (c == '"') quoted = !quoted;
      if (quoted || !(c == ' ' || c == '\t' || c == ',')) continue;
      // The blank that starts a continuation piece is no place to break.
      if (i < first_break) continue;
      const size_t piece_length = c == ',' ? i + 1 : i;
      if (piece_length <= fold_length || break_at == std::string::npos) break_at = i;
      if (piece_length >= fold_length) break;
    }
    if (break_at == std::string::npos) break;
    const size_t cut = rest[break_at] == ',' ? break_at + 1 : break_at;
    std::string piece = TrimRight(rest.substr(0, cut));
    std::string tail = rest.substr(cut);
    size_t lead = 0;
    while (lead < tail.size() && (tail[lead] == ' ' || tail[lead] == '\t')) ++lead;
    // Built piece by piece: GCC 12 warns wrongly about overlapping copies in the shorter forms.
    std::string continued(1, ' ');
    continued.append(tail, lead, std::string::npos);
    tail = std::move(continued);
    if (piece.empty() || Trim(tail).empty()) break;
    pieces.push_back(std::move(piece));
    rest = std::move(tail);
    first_break = 1;
  }
  pieces.push_back(TrimRight(rest));
  return pieces;
}

}  // namespace mevra::http
