#pragma once

#include <cstdint>
#include <string>

#include "http/header_list.h"
#include "http/internet_date.h"

namespace mevra::http {

// The header fields a request and a response share, as typed values, together with the raw
// header list they are written into (SetHeaders) or read from (ProcessHeaders).
class EntityHeaderInfo {
 public:
  EntityHeaderInfo();
  virtual ~EntityHeaderInfo() = default;

  // Back to the cleared state: texts empty except ContentType "text/html", ContentLength -1,
  // ranges and dates 0, raw list empty.
  virtual void Clear();
  // Rebuilds the raw list from the fields.
  virtual void SetHeaders();
  // Fills the fields from the raw list. Throws ConversionError for a malformed number where the
  // record cannot fall back to a default.
  virtual void ProcessHeaders();

  const std::string& Connection() const { return connection_; }
  void SetConnection(std::string value) { connection_ = std::move(value); }
  const std::string& ContentVersion() const { return content_version_; }
  void SetContentVersion(std::string value) { content_version_ = std::move(value); }
  const std::string& ContentEncoding() const { return content_encoding_; }
  void SetContentEncoding(std::string value) { content_encoding_ = std::move(value); }
  const std::string& ContentLanguage() const { return content_language_; }
  void SetContentLanguage(std::string value) { content_language_ = std::move(value); }
  const std::string& ContentType() const { return content_type_; }
  void SetContentType(std::string value) { content_type_ = std::move(value); }
  // 64-bit: files beyond 2 GiB announce lengths and ranges that 32 bits cannot hold.
  int64_t ContentLength() const { return content_length_; }
  void SetContentLength(int64_t value) { content_length_ = value; }
  bool HasContentLength() const { return has_content_length_; }
  int64_t ContentRangeStart() const { return content_range_start_; }
  void SetContentRangeStart(int64_t value) { content_range_start_ = value; }
  int64_t ContentRangeEnd() const { return content_range_end_; }
  void SetContentRangeEnd(int64_t value) { content_range_end_ = value; }
  const std::string& CacheControl() const { return cache_control_; }
  void SetCacheControl(std::string value) { cache_control_ = std::move(value); }
  DateTime Date() const { return date_; }
  void SetDate(DateTime value) { date_ = value; }
  DateTime Expires() const { return expires_; }
  void SetExpires(DateTime value) { expires_ = value; }
  DateTime LastModified() const { return last_modified_; }
  void SetLastModified(DateTime value) { last_modified_ = value; }
  const std::string& Pragma() const { return pragma_; }
  void SetPragma(std::string value) { pragma_ = std::move(value); }

  HeaderList& CustomHeaders() { return custom_headers_; }
  const HeaderList& CustomHeaders() const { return custom_headers_; }
  HeaderList& RawHeaders() { return raw_headers_; }
  const HeaderList& RawHeaders() const { return raw_headers_; }

 protected:
  HeaderList raw_headers_{kRawHeaderFoldLength};

 private:
  std::string connection_;
  std::string content_version_;
  std::string content_encoding_;
  std::string content_language_;
  std::string content_type_;
  int64_t content_length_ = -1;
  bool has_content_length_ = false;
  int64_t content_range_start_ = 0;
  int64_t content_range_end_ = 0;
  std::string cache_control_;
  DateTime date_{};
  DateTime expires_{};
  DateTime last_modified_{};
  std::string pragma_;
  HeaderList custom_headers_{kRawHeaderFoldLength};
};

}  // namespace mevra::http
