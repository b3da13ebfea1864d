#include "standin/tls_certificates.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace korvane::standin {
namespace {

using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;

CertPtr ParseCert(const std::string& pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), int(pem.size())),
                                                &BIO_free);
  return CertPtr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), &X509_free);
}

// How a TLS client verifies a server: the chain against the CA, then the name it dialled.
// Returns the X509 verification error (X509_V_OK when it verifies).
int Verify(const std::string& caPem, const std::string& serverPem, const std::string& ip,
           const std::string& host) {
  CertPtr ca = ParseCert(caPem);
  CertPtr server = ParseCert(serverPem);
  EXPECT_TRUE(ca && server);
  if (!ca || !server)
    return -1;
  std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(), &X509_STORE_free);
  X509_STORE_add_cert(store.get(), ca.get());
  std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> ctx(X509_STORE_CTX_new(),
                                                                      &X509_STORE_CTX_free);
  X509_STORE_CTX_init(ctx.get(), store.get(), server.get(), nullptr);
  X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx.get());
  X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
  if (!ip.empty())
    X509_VERIFY_PARAM_set1_ip_asc(param, ip.c_str());
  if (!host.empty())
    X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
  X509_verify_cert(ctx.get());
  return X509_STORE_CTX_get_error(ctx.get());
}

TEST(TlsCertificates, ServerCertificateVerifiesForEveryLoopbackName) {
  const TlsMaterial m = MakeTlsMaterial();
  EXPECT_EQ(Verify(m.caCertPem, m.serverCertPem, "127.0.0.1", ""), X509_V_OK);
  EXPECT_EQ(Verify(m.caCertPem, m.serverCertPem, "::1", ""), X509_V_OK);
  EXPECT_EQ(Verify(m.caCertPem, m.serverCertPem, "", "localhost"), X509_V_OK);
}

TEST(TlsCertificates, RejectedForOtherNamesAndByAnotherCa) {
  const TlsMaterial m = MakeTlsMaterial();
  const TlsMaterial other = MakeTlsMaterial();
  EXPECT_EQ(Verify(m.caCertPem, m.serverCertPem, "127.0.0.2", ""), X509_V_ERR_IP_ADDRESS_MISMATCH);
  EXPECT_EQ(Verify(m.caCertPem, m.serverCertPem, "", "example.org"), X509_V_ERR_HOSTNAME_MISMATCH);
  EXPECT_EQ(Verify(other.caCertPem, m.serverCertPem, "127.0.0.1", ""),
            X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY);
  // Every call makes a new CA.
  EXPECT_NE(m.caCertPem, other.caCertPem);
}

TEST(TlsCertificates, ValidityCoversNowAndEndsWithinADay) {
  CertPtr server = ParseCert(MakeTlsMaterial().serverCertPem);
  ASSERT_TRUE(server);
  const time_t now = time(nullptr);
  time_t past = now - 30 * 60, soon = now + 23 * 3600, later = now + 25 * 3600;
  EXPECT_LT(X509_cmp_time(X509_get0_notBefore(server.get()), &past), 0);
  EXPECT_GT(X509_cmp_time(X509_get0_notAfter(server.get()), &soon), 0);
  EXPECT_LT(X509_cmp_time(X509_get0_notAfter(server.get()), &later), 0);
}

TEST(TlsCertificates, KeyMatchesCertificate) {
  const TlsMaterial m = MakeTlsMaterial();
  CertPtr server = ParseCert(m.serverCertPem);
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(
      BIO_new_mem_buf(m.serverKeyPem.data(), int(m.serverKeyPem.size())), &BIO_free);
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
      PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
  ASSERT_TRUE(server && key);
  EXPECT_EQ(X509_check_private_key(server.get(), key.get()), 1);
}

// The whole path a test server takes: PEM files written, an HTTPS server loaded from them, a
// client that trusts only the CA file and verifies the server.
TEST(TlsCertificates, HttpsLoopbackHandshakeWithVerification) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("korvane_tls_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const TlsMaterial m = MakeTlsMaterial();
  const std::string ca = (dir / "ca.pem").string(), cert = (dir / "cert.pem").string(),
                    key = (dir / "key.pem").string();
  ASSERT_TRUE(WritePemFile(ca, m.caCertPem));
  ASSERT_TRUE(WritePemFile(cert, m.serverCertPem));
  ASSERT_TRUE(WritePemFile(key, m.serverKeyPem));
  EXPECT_FALSE(WritePemFile((dir / "missing" / "x.pem").string(), m.caCertPem));
  {
    std::ifstream in(ca);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), m.caCertPem);
  }

  httplib::SSLServer server(cert.c_str(), key.c_str());
  ASSERT_TRUE(server.is_valid());
  server.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("hi", "text/plain");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread thread([&] { server.listen_after_bind(); });

  httplib::SSLClient client("127.0.0.1", port);
  client.set_ca_cert_path(ca.c_str());
  client.enable_server_certificate_verification(true);
  auto res = client.Get("/hello");
  ASSERT_TRUE(res) << httplib::to_string(res.error());
  EXPECT_EQ(res->body, "hi");

  // A client that trusts another CA must refuse the same server.
  const std::string otherCa = (dir / "other.pem").string();
  ASSERT_TRUE(WritePemFile(otherCa, MakeTlsMaterial().caCertPem));
  httplib::SSLClient stranger("127.0.0.1", port);
  stranger.set_ca_cert_path(otherCa.c_str());
  stranger.enable_server_certificate_verification(true);
  EXPECT_FALSE(stranger.Get("/hello"));

  server.stop();
  thread.join();
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korvane::standin
