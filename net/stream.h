#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace mevra::net {

// A byte stream with a position, the common currency of the transport and the HTTP client:
// ReadToStream and Get write into one. Sizes and positions are 64-bit even where the wire
// format counts in 32 bits.
class Stream {
 public:
  virtual ~Stream() = default;

  // Reads up to `count` bytes at the position; returns how many were read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes `count` bytes at the position, growing the stream as needed; returns `count`.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Position() const = 0;
  // Moves the position; positions past the end are allowed and read as the end.
  virtual void Seek(int64_t position) = 0;
  virtual int64_t Size() const = 0;
  // Cuts or extends the stream; the position is kept unless it lies past the new end.
  virtual void SetSize(int64_t size) = 0;
};

// The whole stream in memory.
class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::string bytes) : data_(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Position() const override { return position_; }
  void Seek(int64_t position) override;
  int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  const std::string& Data() const { return data_; }
  std::string TakeData();

 private:
  std::string data_;
  int64_t position_ = 0;
};

// A file on disk. Opening for writing creates or truncates the file.
class FileStream : public Stream {
 public:
  enum class Mode { kRead, kCreate };
  // Throws StreamError with the system's text when the file cannot be opened.
  FileStream(const std::string& path, Mode mode);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  // Throws StreamError when the bytes cannot be written (a full disk among others).
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Position() const override;
  void Seek(int64_t position) override;
  int64_t Size() const override;
  void SetSize(int64_t size) override;
  // Flushes and closes; throws StreamError when buffered bytes could not be written.
  void Close();

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
};

}  // namespace mevra::net
