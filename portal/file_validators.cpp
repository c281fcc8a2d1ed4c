#include "portal/file_validators.h"

#include <cstdio>
#include <ctime>

#include <sys/stat.h>

namespace mevra::portal {

bool FileValidators::Matches(const std::string& if_range) const {
  if (etag.empty() || if_range.empty()) return false;
  if (if_range.front() == '"') return if_range == etag;
  if (if_range.starts_with("W/")) return false;
  return if_range == last_modified;
}

FileValidators ValidatorsOf(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return {};
  char etag[64];
  std::snprintf(etag, sizeof etag, "\"%llx-%llx\"", static_cast<unsigned long long>(info.st_mtime),
                static_cast<unsigned long long>(info.st_size));
  std::tm utc{};
  gmtime_r(&info.st_mtime, &utc);
  // The day and month names of HTTP dates are English whatever the locale.
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char date[64];
  std::snprintf(date, sizeof date, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday],
                utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                utc.tm_sec);
  return {etag, date};
}

}  // namespace mevra::portal
