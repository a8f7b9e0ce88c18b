#pragma once
#include <string>

#include "publishing/PublishingOptions.h"

struct mosquitto;

namespace rheo {

// Sets the client up for mqtts://: the broker's certificate verified against options.caFile,
// or against the system's store without one, and the client's certificate and key when given;
// the broker's host name is always verified (mosquitto_tls_insecure_set is never called).
// Empty when done, else the problem in one line. On Linux libmosquitto reads the files and
// OpenSSL the system's store. On Windows OpenSSL does not read the Windows store, and
// libmosquitto opens the files by their names in the ANSI code page, which loses the UTF-8
// names the program carries: a TLS context of the program's own holds both
// (win32/TlsSetup.cpp).
std::string SetUpTls(mosquitto* client, const PublishingOptions& options);

}  // namespace rheo
