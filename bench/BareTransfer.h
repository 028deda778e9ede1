// What the benches' bare libcurl transfers share: a trust store built once, and the TLS settings
// the library's own transfers use.
#pragma once

#include <curl/curl.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <string>

namespace vanto::bench {

// A store trusting the certificate `pem`, and the system's certificates too when `withSystem`;
// null when the certificate cannot be read. Freed with X509_STORE_free.
inline X509_STORE* trustStore(const std::string& pem, bool withSystem) {
    X509_STORE* store = X509_STORE_new();
    if (store == nullptr) {
        return nullptr;
    }
    if (withSystem) {
        X509_STORE_load_file(store, X509_get_default_cert_file());
        X509_STORE_load_path(store, X509_get_default_cert_dir());
    }
    BIO* input = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    X509* certificate =
        input != nullptr ? PEM_read_bio_X509(input, nullptr, nullptr, nullptr) : nullptr;
    const bool added = certificate != nullptr && X509_STORE_add_cert(store, certificate) == 1;
    X509_free(certificate);
    BIO_free(input);
    if (!added) {
        X509_STORE_free(store);
        return nullptr;
    }
    return store;
}

// A transfer's TLS settings as the library makes them: https only, the peer and its host name
// verified against `store` (given to each connection's TLS context, no bundle read again),
// libcurl's default protocol versions and ciphers, a fresh connection each.
inline void setLibraryTls(CURL* handle, X509_STORE* store) {
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(handle, CURLOPT_CAINFO, static_cast<const char*>(nullptr));
    curl_easy_setopt(handle, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, static_cast<void*>(store));
    curl_easy_setopt(
        handle, CURLOPT_SSL_CTX_FUNCTION, +[](CURL*, void* context, void* user) -> CURLcode {
            SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(context), static_cast<X509_STORE*>(user));
            return CURLE_OK;
        });
    curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
}

}  // namespace vanto::bench
