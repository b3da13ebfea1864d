// The process-wide TLS trust setting of both HTTP stacks: certificates are always verified, and
// one extra CA file may be trusted beside the system's store (the stand-in services and the
// tests present certificates made by their own CA).
#pragma once

#include <string>

namespace korvane::platform {

// Trusts the CA certificates in the PEM file `path` in addition to the system's CAs, for every
// request started afterwards. An empty path trusts the system's CAs only.
void SetTrustedCaFile(std::string path);

// The extra CA file in force, or an empty text.
std::string TrustedCaFile();

}  // namespace korvane::platform
