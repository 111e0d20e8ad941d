#include "tests/support/http/test_certificates.hpp"

#include <boost/asio/buffer.hpp>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>

namespace test_support {

namespace {

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* pointer) const { Free(pointer); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;

void check(int result, const char* step) {
    if (result <= 0) throw std::runtime_error(std::string("making the test certificates failed at ") + step);
}

Key makeKey() {
    Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!key) throw std::runtime_error("no test key");
    return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension) throw std::runtime_error("bad test certificate extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

Certificate makeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, long serial) {
    Certificate certificate(X509_new());
    check(X509_set_version(certificate.get(), 2), "version");
    check(ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial), "serial");
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -60);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 24 * 60 * 60);
    check(X509_set_pubkey(certificate.get(), key), "key");
    X509_NAME* name = X509_get_subject_name(certificate.get());
    check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1,
                                     -1, 0),
          "name");
    X509* signer = issuer ? issuer : certificate.get();
    check(X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer)), "issuer");
    if (issuer) {
        addExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(certificate.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
    } else {
        addExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    }
    check(X509_sign(certificate.get(), issuerKey, EVP_sha256()), "signature");
    return certificate;
}

std::string pem(X509* certificate) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, certificate);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<std::size_t>(size));
    BIO_free(bio);
    return text;
}

std::string pem(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<std::size_t>(size));
    BIO_free(bio);
    return text;
}

}  // namespace

TestCertificates TestCertificates::make() {
    const Key authorityKey = makeKey();
    const Certificate authority = makeCertificate(authorityKey.get(), "Vantor Test Authority", nullptr,
                                                  authorityKey.get(), 1);
    const Key serverKey = makeKey();
    const Certificate server = makeCertificate(serverKey.get(), "localhost", authority.get(), authorityKey.get(), 2);
    return {pem(authority.get()), pem(server.get()), pem(serverKey.get())};
}

std::shared_ptr<boost::asio::ssl::context> TestCertificates::serverContext() const {
    auto context = std::make_shared<boost::asio::ssl::context>(boost::asio::ssl::context::tls_server);
    context->use_certificate_chain(boost::asio::buffer(serverCertificatePEM));
    context->use_private_key(boost::asio::buffer(serverKeyPEM), boost::asio::ssl::context::pem);
    return context;
}

}  // namespace test_support
