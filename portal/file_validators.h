#pragma once

#include <filesystem>
#include <string>

namespace mevra::portal {

// The validators of a file the portal serves: a strong ETag and a Last-Modified date, both from
// the file's modification time and size, so an encoded file made anew gets new ones.
struct FileValidators {
  std::string etag;           // "\"<mtime hex>-<size hex>\""; empty when the file is not there
  std::string last_modified;  // an HTTP date

  // Whether an If-Range value names this very file: the same strong ETag or the same date. A
  // weak ETag never does.
  bool Matches(const std::string& if_range) const;
};

FileValidators ValidatorsOf(const std::filesystem::path& file);

}  // namespace mevra::portal
