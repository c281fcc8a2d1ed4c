#pragma once

#include <filesystem>

namespace mevra::portal {

// Where the portal's TLS files lie: its private CA and the server certificate it issued for
// 127.0.0.1 and localhost. Clients are told to trust the CA file.
struct TlsFiles {
  std::filesystem::path ca_certificate;
  std::filesystem::path certificate;
  std::filesystem::path key;
};

// Makes sure `folder` holds a CA and a server certificate that are good for a while yet: files
// from an earlier run are kept and reused, and made anew when they are missing, unreadable,
// about to expire or no longer fit together (a new CA always gets a new server certificate).
// Keys are readable by the owner only. Throws std::runtime_error when the folder cannot be
// written.
TlsFiles EnsureTlsFiles(const std::filesystem::path& folder);

}  // namespace mevra::portal
