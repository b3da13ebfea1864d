// The process-wide TLS trust setting of both HTTP stacks: certificates are always verified, and
// one extra CA file may be trusted beside the system's store (the stand-in services and the
// tests present certificates made by their own CA).
#pragma once

#include <cstdint>
#include <string>

namespace korvane::platform {

// Trusts the CA certificates in the PEM file `path` in addition to the system's CAs, for every
// request started afterwards. An empty path trusts the system's CAs only. Each call drops the
// certificate store built so far; the next secure connection builds it again from the files.
void SetTrustedCaFile(std::string path);

// The extra CA file in force, or an empty text.
std::string TrustedCaFile();

// Counts the changes of the setting (every SetTrustedCaFile call): what was learnt under one
// setting, such as TLS sessions to resume, is kept only while this stays the same.
uint64_t TrustGeneration();

// Gives the OpenSSL context `sslContext` (an SSL_CTX*) of one connection the certificate store of
// the setting in force: the system's CA bundle and directory (or, with an extra CA file, that
// file and the system's directory), with the chain rules of libcurl's own store. The store is
// read from disk once per setting and shared by every connection, so a handshake no longer
// re-reads and decodes the bundle. False when it cannot be built (a file unreadable or holding
// no certificate); the connection must then fail.
bool InstallTrustStore(void* sslContext);

}  // namespace korvane::platform
