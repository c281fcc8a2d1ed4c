#pragma once

#include <filesystem>

namespace mevra::portal {

// Where the portal's TLS files lie: its private CA, which may issue certificates for the loopback
// interface alone, and the server certificate it issued for 127.0.0.1, ::1 and localhost.
// Clients are told to trust the CA file.
struct TlsFiles {
  std::filesystem::path ca_certificate;
  std::filesystem::path certificate;
  std::filesystem::path key;
};

// Makes sure `folder` holds a CA and a server certificate that are good for a while yet: files
// from an earlier run are kept and reused, and made anew when they are missing, unreadable,
// about to expire or no longer fit together (a new CA always gets a new server certificate), and
// a CA without name constraints is replaced. The folder and the keys are the owner's alone, kept
// keys included. Throws std::runtime_error when the folder cannot be written or when group or
// others may write to it.
TlsFiles EnsureTlsFiles(const std::filesystem::path& folder);

}  // namespace mevra::portal
