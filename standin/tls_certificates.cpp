#include "standin/tls_certificates.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>

namespace korvane::standin {
namespace {

template <auto Free>
struct Deleter {
  template <typename T>
  void operator()(T* p) const {
    Free(p);
  }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free>>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;
using BnPtr = std::unique_ptr<BIGNUM, Deleter<BN_free>>;

[[noreturn]] void Fail(const char* what) {
  // Take the OpenSSL reason along so a failure in a test run says more than "it failed".
  char reason[256] = "";
  ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
  ERR_clear_error();
  throw std::runtime_error(std::string("TLS material: ") + what + ": " + reason);
}

void Check(int ok, const char* what) {
  if (ok != 1)
    Fail(what);
}

KeyPtr MakeKey() {
  KeyPtr key(EVP_EC_gen("P-256"));
  if (!key)
    Fail("EC key generation");
  return key;
}

void SetRandomSerial(X509* cert) {
  // Random 64-bit positive serials: two CAs of two runs never issue the same pair.
  BnPtr bn(BN_new());
  if (!bn)
    Fail("serial");
  Check(BN_rand(bn.get(), 64, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY), "serial");
  if (!BN_to_ASN1_INTEGER(bn.get(), X509_get_serialNumber(cert)))
    Fail("serial");
}

void SetName(X509_NAME* name, const char* commonName) {
  Check(X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>("Korvane loopback"), -1,
                                   -1, 0),
        "subject");
  Check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0),
        "subject");
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  ExtPtr ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
  if (!ext)
    Fail("extension");
  Check(X509_add_ext(cert, ext.get(), -1), "extension");
}

CertPtr NewCertificate(EVP_PKEY* key, const char* commonName) {
  CertPtr cert(X509_new());
  if (!cert)
    Fail("certificate");
  Check(X509_set_version(cert.get(), 2), "version");
  SetRandomSerial(cert.get());
  // One hour of slack backwards covers a clock that differs a little between test processes.
  if (!X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60L * 60) ||
      !X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24L * 60 * 60)) {
    Fail("validity");
  }
  Check(X509_set_pubkey(cert.get(), key), "public key");
  SetName(X509_get_subject_name(cert.get()), commonName);
  return cert;
}

std::string ToPem(const std::function<int(BIO*)>& write) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || write(bio.get()) != 1)
    Fail("PEM output");
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(size));
}

}  // namespace

TlsMaterial MakeTlsMaterial() {
  KeyPtr caKey = MakeKey();
  CertPtr ca = NewCertificate(caKey.get(), "Korvane loopback CA");
  Check(X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get())), "issuer");
  AddExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
  AddExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
  AddExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
  if (X509_sign(ca.get(), caKey.get(), EVP_sha256()) <= 0)
    Fail("CA signature");

  KeyPtr serverKey = MakeKey();
  CertPtr server = NewCertificate(serverKey.get(), "localhost");
  Check(X509_set_issuer_name(server.get(), X509_get_subject_name(ca.get())), "issuer");
  AddExtension(server.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(server.get(), ca.get(), NID_key_usage, "critical,digitalSignature");
  AddExtension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth");
  AddExtension(server.get(), ca.get(), NID_subject_alt_name, "IP:127.0.0.1,IP:::1,DNS:localhost");
  AddExtension(server.get(), ca.get(), NID_authority_key_identifier, "keyid:always");
  if (X509_sign(server.get(), caKey.get(), EVP_sha256()) <= 0)
    Fail("server signature");

  TlsMaterial material;
  material.caCertPem = ToPem([&](BIO* b) { return PEM_write_bio_X509(b, ca.get()); });
  material.serverCertPem = ToPem([&](BIO* b) { return PEM_write_bio_X509(b, server.get()); });
  material.serverKeyPem = ToPem([&](BIO* b) {
    return PEM_write_bio_PrivateKey(b, serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr);
  });
  return material;
}

bool WritePemFile(const std::string& path, const std::string& pem) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out)
    return false;
  out.write(pem.data(), static_cast<std::streamsize>(pem.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace korvane::standin
