#include "net/tls_context.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include <sys/stat.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "net/tls_error.h"

namespace mevra::net {

namespace {
// The one application protocol we speak, offered so servers that look at it pick HTTP/1.1.
constexpr unsigned char kAlpnHttp11[] = {8, 'h', 't', 't', 'p', '/', '1', '.', '1'};
// OpenSSL's level 2: 112 bits of security at least.
constexpr int kSecurityLevel = 2;
}  // namespace

TlsContext::TlsContext(const std::string& ca_file) : ca_file_(ca_file) {
  context_ = SSL_CTX_new(TLS_client_method());
  if (context_ == nullptr) throw TlsError("Cannot set up TLS: " + LastErrorText());
  SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
  // Whatever the system's configuration says: no key weaker than 112 bits (RSA-1024) and no
  // SHA-1 signature in the chain or the handshake.
  SSL_CTX_set_security_level(context_, kSecurityLevel);
  SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
  // Renegotiation is refused, so a read never has to write.
  SSL_CTX_set_options(context_, SSL_OP_NO_RENEGOTIATION);
  // Sends behave like socket sends: part of the bytes may go, and the rest is sent again.
  SSL_CTX_set_mode(context_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  // Whole received blocks are taken at once instead of a record header and body apart.
  SSL_CTX_set_read_ahead(context_, 1);
  SSL_CTX_set_alpn_protos(context_, kAlpnHttp11, sizeof kAlpnHttp11);
  if (SSL_CTX_set_default_verify_paths(context_) != 1) ERR_clear_error();
  if (!ca_file.empty()) {
    // OpenSSL's own text for a file it cannot open says only "system lib".
    std::FILE* file = std::fopen(ca_file.c_str(), "rb");
    if (file == nullptr) {
      const std::string reason = std::strerror(errno);
      SSL_CTX_free(context_);
      throw TlsCaFileError(ca_file, reason);
    }
    std::fclose(file);
    if (SSL_CTX_load_verify_locations(context_, ca_file.c_str(), nullptr) != 1) {
      const std::string reason = LastErrorText();
      SSL_CTX_free(context_);
      throw TlsCaFileError(ca_file, reason);
    }
  }
}

TlsContext::~TlsContext() { SSL_CTX_free(context_); }

std::shared_ptr<TlsContext> TlsContext::Shared(const std::string& ca_file) {
  // The file as it is now: a file written anew (as the demo portal does when it replaces its CA)
  // must not be judged by the certificates of the old one.
  using Identity = std::tuple<dev_t, ino_t, off_t, int64_t, int64_t>;
  Identity identity{};
  if (!ca_file.empty()) {
    struct stat status {};
    // A file that cannot be read is left to the constructor, which says why.
    if (::stat(ca_file.c_str(), &status) != 0) return std::make_shared<TlsContext>(ca_file);
    identity = {status.st_dev, status.st_ino, status.st_size, status.st_mtim.tv_sec,
                status.st_mtim.tv_nsec};
  }
  static std::mutex lock;
  static std::map<std::string, std::pair<Identity, std::shared_ptr<TlsContext>>> contexts;
  std::lock_guard guard(lock);
  auto& [kept_identity, context] = contexts[ca_file];
  if (!context || kept_identity != identity) {
    context = std::make_shared<TlsContext>(ca_file);
    kept_identity = identity;
  }
  return context;
}

std::string TlsContext::LastErrorText() {
  const unsigned long error = ERR_peek_last_error();
  ERR_clear_error();
  const char* reason = error != 0 ? ERR_reason_error_string(error) : nullptr;
  return reason != nullptr ? reason : "unknown error";
}

}  // namespace mevra::net
