#include "Certificate.h"

#include <arpa/inet.h>

#include <cstdio>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include "Crypto.h"

namespace vanto::sandbox::detail {

namespace {

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Bio = std::unique_ptr<BIO, BioFree>;

bool isIpAddress(const std::string& name) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, name.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, name.c_str(), buffer) == 1;
}

std::string subjectAltNames(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) {
        if (!list.empty()) {
            list += ',';
        }
        list += (isIpAddress(name) ? "IP:" : "DNS:") + name;
    }
    return list;
}

bool addExtension(X509* certificate, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    if (extension == nullptr) {
        return false;
    }
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

bool setRandomSerial(X509* certificate) {
    const std::string hex = "1" + randomHex(15);  // positive and 16 bytes long
    BIGNUM* number = nullptr;
    if (BN_hex2bn(&number, hex.c_str()) == 0) {
        return false;
    }
    const bool set = BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate)) != nullptr;
    BN_free(number);
    return set;
}

std::optional<std::string> toPem(X509* certificate) {
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1) {
        return std::nullopt;
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(length));
}

}  // namespace

std::optional<ServerCredentials> makeSelfSignedCredentials(const std::vector<std::string>& names,
                                                           std::string& error) {
    ServerCredentials credentials;
    credentials.key.reset(EVP_EC_gen("P-256"));
    credentials.certificate.reset(X509_new());
    X509* certificate = credentials.certificate.get();
    if (!credentials.key || certificate == nullptr) {
        error = "could not make a key pair";
        return std::nullopt;
    }
    X509_NAME* subject = X509_get_subject_name(certificate);
    const bool built =
        X509_set_version(certificate, 2) == 1 && setRandomSerial(certificate) &&
        X509_gmtime_adj(X509_getm_notBefore(certificate), -3600) != nullptr &&
        X509_gmtime_adj(X509_getm_notAfter(certificate), 365L * 24 * 3600) != nullptr &&
        X509_set_pubkey(certificate, credentials.key.get()) == 1 &&
        X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("VantoInLibrary"), -1, -1,
                                   0) == 1 &&
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("Vanto sandbox gateway"),
                                   -1, -1, 0) == 1 &&
        X509_set_issuer_name(certificate, subject) == 1 &&
        addExtension(certificate, NID_basic_constraints, "critical,CA:FALSE") &&
        addExtension(certificate, NID_key_usage, "critical,digitalSignature") &&
        addExtension(certificate, NID_ext_key_usage, "serverAuth") &&
        addExtension(certificate, NID_subject_key_identifier, "hash") &&
        (names.empty() ||
         addExtension(certificate, NID_subject_alt_name, subjectAltNames(names))) &&
        X509_sign(certificate, credentials.key.get(), EVP_sha256()) > 0;
    std::optional<std::string> pem = built ? toPem(certificate) : std::nullopt;
    if (!pem) {
        error = "could not make the certificate (are the names valid?)";
        return std::nullopt;
    }
    credentials.certificatePem = std::move(*pem);
    return credentials;
}

std::optional<ServerCredentials> loadCredentials(const std::string& certificateFile,
                                                 const std::string& keyFile, std::string& error) {
    ServerCredentials credentials;
    Bio certificateBio(BIO_new_file(certificateFile.c_str(), "r"));
    if (certificateBio) {
        credentials.certificate.reset(
            PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    }
    if (!credentials.certificate) {
        error = "cannot read a PEM certificate from " + certificateFile;
        return std::nullopt;
    }
    Bio keyBio(BIO_new_file(keyFile.c_str(), "r"));
    if (keyBio) {
        // A key that needs a passphrase is refused rather than asked for on the terminal.
        auto noPassphrase = [](char*, int, int, void*) -> int { return 0; };
        credentials.key.reset(
            PEM_read_bio_PrivateKey(keyBio.get(), nullptr, noPassphrase, nullptr));
    }
    if (!credentials.key) {
        error = "cannot read an unencrypted PEM private key from " + keyFile;
        return std::nullopt;
    }
    if (X509_check_private_key(credentials.certificate.get(), credentials.key.get()) != 1) {
        error = "the private key does not belong to the certificate";
        return std::nullopt;
    }
    std::optional<std::string> pem = toPem(credentials.certificate.get());
    if (!pem) {
        error = "cannot write the certificate as PEM";
        return std::nullopt;
    }
    credentials.certificatePem = std::move(*pem);
    return credentials;
}

}  // namespace vanto::sandbox::detail
