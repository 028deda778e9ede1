#include "vanto/platform/URLSession.h"

#include <memory>

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace vanto::platform {
namespace {

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using Certificate = std::unique_ptr<X509, X509Free>;

struct StackFree {
    void operator()(STACK_OF(X509) * stack) const { sk_X509_pop_free(stack, X509_free); }
};
using CertificateStack = std::unique_ptr<STACK_OF(X509), StackFree>;

struct StoreFree {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct StoreContextFree {
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};

// Every certificate in `pem`, in order; none when a block does not parse.
std::vector<Certificate> readCertificates(const std::string& pem) {
    std::vector<Certificate> certificates;
    std::unique_ptr<BIO, decltype(&BIO_free)> input(
        BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
    if (!input) {
        return {};
    }
    while (X509* read = PEM_read_bio_X509(input.get(), nullptr, nullptr, nullptr)) {
        certificates.emplace_back(read);
    }
    return certificates;
}

// Names the host the certificate must be for: an IP address when it reads as one, else a DNS
// name.
bool expectHost(X509_VERIFY_PARAM* parameters, std::string_view host) {
    const std::string name(host);
    if (X509_VERIFY_PARAM_set1_ip_asc(parameters, name.c_str()) == 1) {
        return true;
    }
    return X509_VERIFY_PARAM_set1_host(parameters, name.data(), name.size()) == 1;
}

}  // namespace

bool chainsToTrustAnchor(const std::vector<std::string>& certificateChainPem,
                         const std::vector<std::string>& anchorsPem, std::string_view host) {
    if (certificateChainPem.empty() || anchorsPem.empty() || host.empty()) {
        return false;
    }
    std::unique_ptr<X509_STORE, StoreFree> anchors(X509_STORE_new());
    for (const auto& pem : anchorsPem) {
        for (const auto& anchor : readCertificates(pem)) {
            X509_STORE_add_cert(anchors.get(), anchor.get());
        }
    }
    std::vector<Certificate> presented;
    for (const auto& pem : certificateChainPem) {
        auto read = readCertificates(pem);
        if (read.empty()) {
            return false;
        }
        for (auto& certificate : read) {
            presented.push_back(std::move(certificate));
        }
    }
    CertificateStack intermediates(sk_X509_new_null());
    for (std::size_t i = 1; i < presented.size(); ++i) {
        if (X509_up_ref(presented[i].get()) != 1 ||
            sk_X509_push(intermediates.get(), presented[i].get()) <= 0) {
            return false;
        }
    }
    std::unique_ptr<X509_STORE_CTX, StoreContextFree> context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), anchors.get(), presented.front().get(),
                                        intermediates.get()) != 1) {
        return false;
    }
    X509_VERIFY_PARAM* parameters = X509_STORE_CTX_get0_param(context.get());
    // An anchor may be an intermediate or the server's own certificate, as a pinned stand-in
    // gateway's is.
    X509_VERIFY_PARAM_set_flags(parameters, X509_V_FLAG_PARTIAL_CHAIN);
    X509_VERIFY_PARAM_set_purpose(parameters, X509_PURPOSE_SSL_SERVER);
    if (!expectHost(parameters, host)) {
        return false;
    }
    return X509_verify_cert(context.get()) == 1;
}

}  // namespace vanto::platform
