#include "portal/song_file_cache.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <system_error>

#include "portal/mp3_encoder.h"

namespace mevra::portal {
namespace {

// Part of every cached file's name; change it whenever the generated audio or the encoder
// settings change, so that files of an older build are not served as current ones.
constexpr const char* kCacheFormat = "v1";

// One lock per song and rate, so two first requests for the same file encode it once.
std::shared_ptr<std::mutex> LockFor(const std::string& key) {
  static std::mutex registry_lock;
  static std::map<std::string, std::shared_ptr<std::mutex>> locks;
  std::lock_guard guard(registry_lock);
  auto& lock = locks[key];
  if (!lock) lock = std::make_shared<std::mutex>();
  return lock;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (!in.good() && !in.eof()) return false;
  out = std::move(buffer).str();
  return !out.empty();
}

// Best effort: a folder that cannot be written only costs the next request another encoding.
void StoreAtomically(const std::filesystem::path& path, const std::string& bytes) {
  static std::atomic<unsigned> counter{0};
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::filesystem::path temp = path;
  temp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(temp, ec);
      return;
    }
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) std::filesystem::remove(temp, ec);
}

}  // namespace

std::filesystem::path CachedSongPath(const Song& song, int rate,
                                     const std::filesystem::path& data_dir) {
  return data_dir /
         (std::string(kCacheFormat) + "-" + song.id + "-" + std::to_string(rate) + ".mp3");
}

std::string EncodedSongBytes(const Song& song, int rate, const std::filesystem::path& data_dir) {
  if (!song.Offers(rate)) return EncodeSongMp3(song, rate);  // throws std::invalid_argument
  const std::filesystem::path path = CachedSongPath(song, rate, data_dir);
  const auto lock = LockFor(path.string());
  std::lock_guard guard(*lock);
  std::string bytes;
  if (ReadWholeFile(path, bytes)) return bytes;
  bytes = EncodeSongMp3(song, rate);
  StoreAtomically(path, bytes);
  return bytes;
}

std::filesystem::path DefaultDataDir() {
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') {
    return std::filesystem::path(xdg) / "mevra-portal";
  }
  if (const char* home = std::getenv("HOME"); home && *home == '/') {
    return std::filesystem::path(home) / ".cache" / "mevra-portal";
  }
  return std::filesystem::temp_directory_path() / "mevra-portal";
}

}  // namespace mevra::portal
