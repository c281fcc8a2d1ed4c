#include "portal/certificate_maker.h"

#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace mevra::portal {
namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

[[noreturn]] void Fail(const std::string& what) {
  const unsigned long error = ERR_get_error();
  ERR_clear_error();
  const char* reason = error != 0 ? ERR_reason_error_string(error) : nullptr;
  throw std::runtime_error("cannot " + what + (reason ? std::string(": ") + reason : ""));
}

Bio MemoryBio(const std::string& text) {
  Bio bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
  if (!bio) Fail("read PEM text");
  return bio;
}

Certificate ReadCertificate(const std::string& pem) {
  Bio bio = MemoryBio(pem);
  return Certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

Key ReadKey(const std::string& pem) {
  Bio bio = MemoryBio(pem);
  return Key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

std::string Drain(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<size_t>(size));
}

void AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  if (extension == nullptr) Fail("make the certificate extension " + value);
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

}  // namespace

PemCertificate MakeCertificate(const CertificateRequest& request, const PemCertificate* issuer) {
  Key key(request.rsa_bits > 0 ? EVP_RSA_gen(static_cast<unsigned>(request.rsa_bits))
                               : EVP_EC_gen("P-256"));
  if (!key) Fail("make a key");
  Certificate certificate(X509_new());
  if (!certificate) Fail("make a certificate");
  X509_set_version(certificate.get(), 2);
  // A random serial, so a browser never sees two certificates of one issuer with the same one.
  unsigned char serial[16];
  RAND_bytes(serial, sizeof serial);
  serial[0] &= 0x7F;
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate.get()));
  BN_free(number);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), static_cast<long>(request.valid_from));
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), static_cast<long>(request.valid_to));
  X509_set_pubkey(certificate.get(), key.get());
  X509_NAME* name = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>("Mevra demo portal"), -1, -1,
                             0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(request.common_name.c_str()),
                             -1, -1, 0);

  Certificate issuer_certificate;
  Key issuer_key;
  if (issuer != nullptr) {
    issuer_certificate = ReadCertificate(issuer->certificate);
    issuer_key = ReadKey(issuer->key);
    if (!issuer_certificate || !issuer_key) Fail("read the issuing certificate");
  }
  X509* signer = issuer_certificate ? issuer_certificate.get() : certificate.get();
  X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer));

  AddExtension(certificate.get(), signer, NID_subject_key_identifier, "hash");
  AddExtension(certificate.get(), signer, NID_authority_key_identifier, "keyid:always");
  if (request.certificate_authority) {
    AddExtension(certificate.get(), signer, NID_basic_constraints,
                 "critical,CA:TRUE,pathlen:" + std::to_string(request.path_length));
    AddExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    std::string permitted = "critical";
    for (const std::string& name : request.permitted_names) {
      permitted += ",permitted;";
      permitted += name;
    }
    if (!request.permitted_names.empty()) {
      AddExtension(certificate.get(), signer, NID_name_constraints, permitted);
    }
  } else {
    AddExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(certificate.get(), signer, NID_key_usage, "critical,digitalSignature");
    AddExtension(certificate.get(), signer, NID_ext_key_usage, "serverAuth");
  }
  std::string names;
  // Appended piece by piece: GCC 12 at -O3 misreads "literal" + std::string&& as an overlapping
  // copy.
  const auto add_name = [&names](std::string_view kind, const std::string& value) {
    if (!names.empty()) names += ',';
    names += kind;
    names += value;
  };
  for (const std::string& dns : request.dns_names) add_name("DNS:", dns);
  for (const std::string& ip : request.ip_addresses) add_name("IP:", ip);
  if (!names.empty()) AddExtension(certificate.get(), signer, NID_subject_alt_name, names);

  EVP_PKEY* signing_key = issuer_key ? issuer_key.get() : key.get();
  const EVP_MD* digest = EVP_get_digestbyname(request.digest.c_str());
  if (digest == nullptr) Fail("find the digest " + request.digest);
  if (X509_sign(certificate.get(), signing_key, digest) == 0) Fail("sign the certificate");

  Bio certificate_out(BIO_new(BIO_s_mem()));
  Bio key_out(BIO_new(BIO_s_mem()));
  if (!certificate_out || !key_out ||
      PEM_write_bio_X509(certificate_out.get(), certificate.get()) != 1 ||
      PEM_write_bio_PrivateKey(key_out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
          1) {
    Fail("write the certificate");
  }
  return {Drain(certificate_out.get()), Drain(key_out.get())};
}

bool CertificateValidFor(const std::string& certificate, int64_t margin_seconds,
                         const std::string* issuer) {
  const Certificate parsed = ReadCertificate(certificate);
  ERR_clear_error();
  if (!parsed) return false;
  time_t now = std::time(nullptr);
  time_t later = now + static_cast<time_t>(margin_seconds);
  if (X509_cmp_time(X509_get0_notBefore(parsed.get()), &now) > 0) return false;
  if (X509_cmp_time(X509_get0_notAfter(parsed.get()), &later) < 0) return false;
  if (issuer == nullptr) return true;
  const Certificate issuing = ReadCertificate(*issuer);
  ERR_clear_error();
  if (!issuing) return false;
  EVP_PKEY* issuer_key = X509_get0_pubkey(issuing.get());
  const bool signed_by = issuer_key != nullptr && X509_verify(parsed.get(), issuer_key) == 1;
  ERR_clear_error();
  return signed_by;
}

bool KeyFitsCertificate(const std::string& key, const std::string& certificate) {
  const Key parsed_key = ReadKey(key);
  const Certificate parsed = ReadCertificate(certificate);
  const bool fits =
      parsed_key && parsed && X509_check_private_key(parsed.get(), parsed_key.get()) == 1;
  ERR_clear_error();
  return fits;
}

bool HasCriticalNameConstraints(const std::string& certificate) {
  const Certificate parsed = ReadCertificate(certificate);
  ERR_clear_error();
  if (!parsed) return false;
  const int at = X509_get_ext_by_NID(parsed.get(), NID_name_constraints, -1);
  return at >= 0 && X509_EXTENSION_get_critical(X509_get_ext(parsed.get(), at)) == 1;
}

}  // namespace mevra::portal
