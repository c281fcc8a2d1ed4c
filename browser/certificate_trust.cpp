#include "browser/certificate_trust.h"

#include <QFile>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <memory>

#include <openssl/err.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace mevra::browser {

namespace {

struct StoreFree {
  void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct X509Free {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct ContextFree {
  void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
struct StackFree {
  void operator()(STACK_OF(X509) * stack) const { sk_X509_pop_free(stack, X509_free); }
};

// The browsers ask from the GUI thread; the lock keeps a change of the file from another thread
// safe all the same.
QMutex& Lock() {
  static QMutex lock;
  return lock;
}
std::unique_ptr<X509_STORE, StoreFree>& Store() {
  static std::unique_ptr<X509_STORE, StoreFree> store;
  return store;
}
QString& File() {
  static QString file;
  return file;
}
QStringList& Hosts() {
  static QStringList hosts;
  return hosts;
}

// Hosts are compared as the engine reports them: lower case, and "host." is "host".
QString Normalized(const QString& host) {
  QString name = host.toLower();
  if (name.size() > 1 && name.endsWith(QLatin1Char('.'))) name.chop(1);
  return name;
}

// OpenSSL's level 2, as the program's own client uses it: 112 bits of security at least.
constexpr int kSecurityLevel = 2;

std::unique_ptr<X509, X509Free> FromQt(const QSslCertificate& certificate) {
  const QByteArray der = certificate.toDer();
  const auto* bytes = reinterpret_cast<const unsigned char*>(der.constData());
  return std::unique_ptr<X509, X509Free>(d2i_X509(nullptr, &bytes, der.size()));
}

}  // namespace

bool CertificateTrust::SetCaFile(const QString& path, const QStringList& hosts) {
  QMutexLocker guard(&Lock());
  Store().reset();
  File().clear();
  Hosts().clear();
  if (path.isEmpty()) return true;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QList<QSslCertificate> authorities = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
  if (authorities.isEmpty()) return false;
  std::unique_ptr<X509_STORE, StoreFree> store(X509_STORE_new());
  for (const QSslCertificate& authority : authorities) {
    const auto certificate = FromQt(authority);
    if (certificate) X509_STORE_add_cert(store.get(), certificate.get());
  }
  ERR_clear_error();
  Store() = std::move(store);
  File() = path;
  for (const QString& host : hosts) {
    if (!host.isEmpty()) Hosts().append(Normalized(host));
  }
  return true;
}

QString CertificateTrust::CaFile() {
  QMutexLocker guard(&Lock());
  return File();
}

bool CertificateTrust::Vouches(const QList<QSslCertificate>& chain, const QString& host) {
  QMutexLocker guard(&Lock());
  const QString name = Normalized(host);
  if (!Store() || chain.isEmpty() || name.isEmpty() || !Hosts().contains(name)) return false;
  const auto leaf = FromQt(chain.front());
  std::unique_ptr<STACK_OF(X509), StackFree> intermediates(sk_X509_new_null());
  for (qsizetype i = 1; i < chain.size(); ++i) {
    if (auto certificate = FromQt(chain[i]))
      sk_X509_push(intermediates.get(), certificate.release());
  }
  std::unique_ptr<X509_STORE_CTX, ContextFree> context(X509_STORE_CTX_new());
  if (!leaf || !context ||
      X509_STORE_CTX_init(context.get(), Store().get(), leaf.get(), intermediates.get()) != 1) {
    ERR_clear_error();
    return false;
  }
  X509_VERIFY_PARAM* parameters = X509_STORE_CTX_get0_param(context.get());
  X509_VERIFY_PARAM_set_purpose(parameters, X509_PURPOSE_SSL_SERVER);
  X509_VERIFY_PARAM_set_auth_level(parameters, kSecurityLevel);
  X509_VERIFY_PARAM_set_hostflags(
      parameters, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
  const QByteArray text = name.toUtf8();
  const bool set =
      QHostAddress().setAddress(name)
          ? X509_VERIFY_PARAM_set1_ip_asc(parameters, text.constData()) == 1
          : X509_VERIFY_PARAM_set1_host(parameters, text.constData(), text.size()) == 1;
  const bool verified = set && X509_verify_cert(context.get()) == 1;
  ERR_clear_error();
  return verified;
}

}  // namespace mevra::browser
