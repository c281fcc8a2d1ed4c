#pragma once

#include <string>
#include <vector>

#include "http/limits.h"

namespace mevra::http {

// An HTTP header block as an ordered list of text lines with lookup by name. A line that starts
// with a blank or a TAB continues the header above it; lookups unfold such continuations and
// stores fold lines longer than the fold length.
class HeaderList {
 public:
  explicit HeaderList(size_t fold_length = kDefaultFoldLength) : fold_length_(fold_length) {}

  // The value of the first line whose name matches without regard to case, continuation lines
  // joined with one blank; "" when there is none.
  std::string Value(const std::string& name) const;
  // An empty value removes the first matching header; another one replaces it (folded when long)
  // or is added at the end.
  void SetValue(const std::string& name, const std::string& value);
  // Appends the values of every matching header, in order, to `values`.
  void ExtractValues(const std::string& name, std::vector<std::string>& values) const;
  // The elements of a list-valued header: every matching line's value cut at its commas, each
  // trimmed, empty ones dropped. Repeated lines of one name form one list.
  std::vector<std::string> Tokens(const std::string& name) const;
  // The text before the first ":" of line `index`.
  std::string NameOf(size_t index) const;

  void Add(const std::string& line) { lines_.push_back(line); }
  void AddLines(const HeaderList& other);
  void Clear() { lines_.clear(); }
  size_t Count() const { return lines_.size(); }
  bool Empty() const { return lines_.empty(); }
  const std::string& operator[](size_t index) const { return lines_[index]; }
  const std::vector<std::string>& Lines() const { return lines_; }
  // Every line followed by CR LF.
  std::string Text() const;

  size_t FoldLength() const { return fold_length_; }
  void SetFoldLength(size_t length) { fold_length_ = length; }
  bool UnfoldLines() const { return unfold_lines_; }
  void SetUnfoldLines(bool unfold) { unfold_lines_ = unfold; }
  bool FoldLines() const { return fold_lines_; }
  void SetFoldLines(bool fold) { fold_lines_ = fold; }

  // Breaks `line` at blanks, TABs or commas outside double quotes so that pieces stay within
  // `fold_length` where a break allows; the pieces after the first start with a blank.
  static std::vector<std::string> FoldLine(const std::string& line, size_t fold_length);

 private:
  // Index of the first header line named `name`, or Count().
  size_t IndexOf(const std::string& name) const;
  // Index after the continuation lines of the header at `index`.
  size_t EndOfHeader(size_t index) const;
  std::string ValueAt(size_t index) const;

  std::vector<std::string> lines_;
  size_t fold_length_;
  bool unfold_lines_ = true;
  bool fold_lines_ = true;
};

}  // namespace mevra::http
