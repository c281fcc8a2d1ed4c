#pragma once

#include <memory>
#include <string>

struct ssl_ctx_st;

namespace mevra::net {

// What every TLS connection of a client shares: the certificates it trusts (the system's store
// and an optional extra bundle), peer verification on, TLS 1.2 at least. Loading the system's
// store takes a while, so one context serves all connections of a client, and Shared gives all
// clients of the process one per configuration.
class TlsContext {
 public:
  // The process's context for `ca_file`, made on first use and kept for the run: every client
  // with that configuration shares it. A CA file that changed on disk since (another file, size
  // or time) gets a context of its own. Thread-safe; throws TlsCaFileError as the constructor
  // does.
  static std::shared_ptr<TlsContext> Shared(const std::string& ca_file);

  // `ca_file` names an extra bundle of trusted certificates (PEM); empty for none. Throws
  // TlsCaFileError when it cannot be loaded.
  explicit TlsContext(const std::string& ca_file = "");
  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

  const std::string& CaFile() const { return ca_file_; }
  ssl_ctx_st* Native() const { return context_; }

  // OpenSSL's text for its most recent error on this thread, "unknown error" when none.
  static std::string LastErrorText();

 private:
  std::string ca_file_;
  ssl_ctx_st* context_ = nullptr;
};

}  // namespace mevra::net
