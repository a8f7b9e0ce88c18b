#include "publishing/SystemCertificates.h"

#include <mosquitto.h>

namespace rheo {
namespace {

// The folder of the system's certificates that OpenSSL reads on Debian (its default, through
// /usr/lib/ssl/certs): libmosquitto takes a client certificate only beside a CA file or folder.
constexpr const char* kSystemCertificateFolder = "/etc/ssl/certs";

}  // namespace

std::string UseSystemCertificates(mosquitto* client, const std::string& certFile,
                                  const std::string& keyFile) {
    mosquitto_int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    if (certFile.empty()) {
        return {};  // the system's store alone turns TLS on
    }
    const int rc = mosquitto_tls_set(client, nullptr, kSystemCertificateFolder, certFile.c_str(),
                                     keyFile.c_str(), nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        return "MQTT: cannot use the TLS files (certificate " + certFile +
               "): " + mosquitto_strerror(rc);
    }
    return {};
}

}  // namespace rheo
