#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace vanto::sandbox::detail {

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

/// The server's certificate and private key, and the certificate in PEM.
struct ServerCredentials {
    std::unique_ptr<X509, X509Free> certificate;
    std::unique_ptr<EVP_PKEY, KeyFree> key;
    std::string certificatePem;
};

/// A fresh EC P-256 key and a self-signed certificate for it, valid from an hour ago for a year,
/// whose subject alternative names are `names` (IP names for addresses, DNS names otherwise).
/// nullopt with `error` set when OpenSSL fails.
std::optional<ServerCredentials> makeSelfSignedCredentials(const std::vector<std::string>& names,
                                                           std::string& error);

/// The certificate and key of two PEM files, checked to belong together.
std::optional<ServerCredentials> loadCredentials(const std::string& certificateFile,
                                                 const std::string& keyFile, std::string& error);

}  // namespace vanto::sandbox::detail
