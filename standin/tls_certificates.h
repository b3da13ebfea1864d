// Makes the TLS material for loopback HTTPS servers: a throw-away certificate authority and a
// server certificate it signs for 127.0.0.1, ::1 and localhost, so a client can verify the server
// for real instead of switching verification off.
#pragma once

#include <string>

namespace korvane::standin {

// PEM text of a fresh CA certificate, a server certificate signed by that CA and the server's
// private key (PKCS#8, unencrypted).
struct TlsMaterial {
  std::string caCertPem;
  std::string serverCertPem;
  std::string serverKeyPem;
};

// A new CA (EC P-256) and a server certificate it signs, valid for the IP addresses 127.0.0.1 and
// ::1 and the DNS name localhost, from one hour ago to one day ahead. Every call makes new keys.
// Throws std::runtime_error when OpenSSL fails.
TlsMaterial MakeTlsMaterial();

// Writes PEM text to a file, creating or replacing it; false on failure.
bool WritePemFile(const std::string& path, const std::string& pem);

}  // namespace korvane::standin
