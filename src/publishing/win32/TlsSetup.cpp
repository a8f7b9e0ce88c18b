#include "publishing/TlsSetup.h"

// Windows' headers first: OpenSSL's take back the names wincrypt.h gives its own types.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <mosquitto.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>

namespace rheo {
namespace {

struct ContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
using Context = std::unique_ptr<SSL_CTX, ContextFree>;

std::string TlsError() {
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    ERR_clear_error();
    return text;
}

// Every certificate of the current user's view of the trusted roots (the machine's and the
// user's own) into the context's store; how many.
int AddWindowsRoots(SSL_CTX* context) {
    const HCERTSTORE roots = CertOpenSystemStoreW(0, L"ROOT");
    if (!roots) {
        return 0;
    }
    X509_STORE* store = SSL_CTX_get_cert_store(context);
    int added = 0;
    for (PCCERT_CONTEXT certificate = CertEnumCertificatesInStore(roots, nullptr);
         certificate != nullptr; certificate = CertEnumCertificatesInStore(roots, certificate)) {
        const unsigned char* bytes = certificate->pbCertEncoded;
        X509* x509 = d2i_X509(nullptr, &bytes, static_cast<long>(certificate->cbCertEncoded));
        if (x509) {
            added += X509_STORE_add_cert(store, x509) == 1 ? 1 : 0;
            X509_free(x509);
        }
    }
    ERR_clear_error();  // a certificate already there is no problem
    CertCloseStore(roots, 0);
    return added;
}

}  // namespace

// The context holds the CA (the file, or the Windows store of trusted roots) and the client's
// certificate, read by OpenSSL, which opens UTF-8 names as such. libmosquitto puts its own
// settings on it (the broker's certificate and host name verified: MOSQ_OPT_SSL_CTX_WITH_DEFAULTS,
// on by default), which it does for a context without a CA file of its own once told to use the
// system's store (cmake/mosquitto's patch); that adds OpenSSL's default places, which hold
// nothing on Windows unless SSL_CERT_FILE or SSL_CERT_DIR names some.
std::string SetUpTls(mosquitto* client, const PublishingOptions& options) {
    const Context context(SSL_CTX_new(TLS_client_method()));
    if (!context) {
        return "MQTT: cannot set up TLS (" + TlsError() + ")";
    }
    if (!options.caFile.empty()) {
        if (SSL_CTX_load_verify_file(context.get(), options.caFile.c_str()) != 1) {
            return "MQTT: cannot use the TLS files (CA " + options.caFile + "): " + TlsError();
        }
    } else if (AddWindowsRoots(context.get()) == 0) {
        return "MQTT: no trusted root certificates in the Windows store; give the broker's CA "
               "with --mqtt-cafile (mqtt-cafile)";
    }
    if (!options.certFile.empty() &&
        (SSL_CTX_use_certificate_chain_file(context.get(), options.certFile.c_str()) != 1 ||
         SSL_CTX_use_PrivateKey_file(context.get(), options.keyFile.c_str(), SSL_FILETYPE_PEM) !=
             1 ||
         SSL_CTX_check_private_key(context.get()) != 1)) {
        return "MQTT: cannot use the TLS files (certificate " + options.certFile + ", key " +
               options.keyFile + "): " + TlsError();
    }
    mosquitto_int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    // The client keeps a reference of its own.
    if (mosquitto_void_option(client, MOSQ_OPT_SSL_CTX, context.get()) != MOSQ_ERR_SUCCESS) {
        return "MQTT: this libmosquitto takes no TLS context";
    }
    return {};
}

}  // namespace rheo
