#include "publishing/TlsSetup.h"

#include <mosquitto.h>

namespace rheo {
namespace {

// The folder of the system's certificates that OpenSSL reads on Debian (its default, through
// /usr/lib/ssl/certs): libmosquitto takes a client certificate only beside a CA file or folder.
constexpr const char* kSystemCertificateFolder = "/etc/ssl/certs";

}  // namespace

std::string SetUpTls(mosquitto* client, const PublishingOptions& options) {
    const auto text = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    const char* caFolder = nullptr;
    if (options.caFile.empty()) {
        // The system's store; without a client certificate that alone turns TLS on
        // (mosquitto_tls_set refuses to go without a CA file or folder).
        mosquitto_int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        if (options.certFile.empty()) {
            return {};
        }
        caFolder = kSystemCertificateFolder;
    }
    const int rc = mosquitto_tls_set(client, text(options.caFile), caFolder, text(options.certFile),
                                     text(options.keyFile), nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        return "MQTT: cannot use the TLS files (CA " + options.caFile + ", certificate " +
               options.certFile + "): " + mosquitto_strerror(rc);
    }
    return {};
}

}  // namespace rheo
