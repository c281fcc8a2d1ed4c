#include "portal/tls_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "portal/certificate_maker.h"
#include "portal/limits.h"

namespace mevra::portal {
namespace {

constexpr int64_t kDay = 24 * 3600;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Written beside its place and renamed over it, so a reader never sees half a file; `secret`
// files are the owner's alone from the start.
void WriteFile(const std::filesystem::path& path, const std::string& text, bool secret) {
  const std::filesystem::path temporary = path.string() + ".new";
  std::filesystem::remove(temporary);
  const mode_t previous = ::umask(secret ? 077 : 022);
  bool written;
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    written = static_cast<bool>(file);
  }
  ::umask(previous);
  std::error_code error;
  if (written) std::filesystem::rename(temporary, path, error);
  if (!written || error) {
    std::filesystem::remove(temporary, error);
    throw std::runtime_error("cannot write " + path.string());
  }
}

// The folder is made the owner's alone. One that others may write to is refused: whoever can
// write there can swap the CA that clients are told to trust.
void PrepareFolder(const std::filesystem::path& folder) {
  std::error_code error;
  if (folder.has_parent_path()) std::filesystem::create_directories(folder.parent_path(), error);
  if (error) throw std::runtime_error("cannot create " + folder.string() + ": " + error.message());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    throw std::runtime_error("cannot create " + folder.string() + ": " + std::strerror(errno));
  }
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    throw std::runtime_error("cannot use " + folder.string() + ": it is not a folder");
  }
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    throw std::runtime_error("refusing to use " + folder.string() +
                             ": it is writable by group or others (chmod go-w to fix it)");
  }
}

// A key kept from an earlier run is made the owner's alone again, whatever became of it since.
void KeepSecret(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::permissions(
      path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
      std::filesystem::perm_options::replace, error);
  if (error) {
    throw std::runtime_error("cannot make " + path.string() + " private: " + error.message());
  }
}

}  // namespace

TlsFiles EnsureTlsFiles(const std::filesystem::path& folder) {
  PrepareFolder(folder);
  const TlsFiles files{folder / "ca.pem", folder / "server.pem", folder / "server-key.pem"};
  const std::filesystem::path ca_key = folder / "ca-key.pem";

  PemCertificate ca{ReadFile(files.ca_certificate), ReadFile(ca_key)};
  // A CA without name constraints would vouch for any host once a client trusts it; one made
  // before they were set is replaced, and its server certificate with it.
  const bool ca_kept = CertificateValidFor(ca.certificate, kTlsRenewBeforeDays * kDay) &&
                       KeyFitsCertificate(ca.key, ca.certificate) &&
                       HasCriticalNameConstraints(ca.certificate);
  if (ca_kept) {
    KeepSecret(ca_key);
  } else {
    CertificateRequest request;
    request.common_name = "Mevra demo portal CA";
    request.certificate_authority = true;
    request.valid_to = kTlsCaValidDays * kDay;
    // The portal only ever serves the loopback interface.
    request.permitted_names = {"DNS:localhost", "IP:127.0.0.0/255.0.0.0",
                               "IP:::1/ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"};
    ca = MakeCertificate(request);
    WriteFile(ca_key, ca.key, true);
    WriteFile(files.ca_certificate, ca.certificate, false);
  }

  const std::string certificate = ReadFile(files.certificate);
  const std::string key = ReadFile(files.key);
  if (ca_kept && CertificateValidFor(certificate, kTlsRenewBeforeDays * kDay, &ca.certificate) &&
      KeyFitsCertificate(key, certificate)) {
    KeepSecret(files.key);
    return files;
  }
  CertificateRequest request;
  request.common_name = "127.0.0.1";
  request.dns_names = {"localhost"};
  request.ip_addresses = {"127.0.0.1", "::1"};
  request.valid_to = kTlsServerValidDays * kDay;
  const PemCertificate server = MakeCertificate(request, &ca);
  WriteFile(files.key, server.key, true);
  WriteFile(files.certificate, server.certificate, false);
  return files;
}

}  // namespace mevra::portal
