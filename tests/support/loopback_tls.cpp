#include "support/loopback_tls.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>
#include <stdexcept>

namespace marl::test {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<size_t>(size));
}

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("cannot make a test certificate: ") + what);
}

}  // namespace

TlsIdentity MakeSelfSignedIdentity(std::string_view common_name, bool expired) {
    std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
    Check(key != nullptr, "key");
    std::unique_ptr<X509, CertFree> cert(X509_new());
    Check(cert != nullptr, "certificate");
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    constexpr long kDay = 24 * 60 * 60;
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), expired ? -2 * kDay : -kDay);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), expired ? -kDay : kDay);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    const std::string cn(common_name);
    Check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>(cn.c_str()), -1, -1, 0) == 1,
          "name");
    X509_set_issuer_name(cert.get(), name);
    Check(X509_sign(cert.get(), key.get(), EVP_sha256()) > 0, "signature");

    std::unique_ptr<BIO, BioFree> cert_bio(BIO_new(BIO_s_mem()));
    std::unique_ptr<BIO, BioFree> key_bio(BIO_new(BIO_s_mem()));
    Check(cert_bio && key_bio, "buffers");
    Check(PEM_write_bio_X509(cert_bio.get(), cert.get()) == 1, "certificate text");
    Check(PEM_write_bio_PrivateKey(key_bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1,
          "key text");
    return {BioText(cert_bio.get()), BioText(key_bio.get())};
}

}  // namespace marl::test
