#pragma once
#include <string>

struct mosquitto;

namespace rheo {

// Sets the client up for TLS that verifies the broker against the system's certificate store
// (mqtts:// without a CA file), with the client's certificate and key when both are given
// (both empty otherwise). Empty when done, else the problem in one line. On Linux the TLS
// library reads the system's store itself; on Windows it does not, and the certificates of the
// Windows store of trusted roots ("ROOT") are handed to it (win32/SystemCertificates.cpp).
std::string UseSystemCertificates(mosquitto* client, const std::string& certFile,
                                  const std::string& keyFile);

}  // namespace rheo
