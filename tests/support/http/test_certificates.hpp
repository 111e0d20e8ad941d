#pragma once

// TestCertificates: a certificate authority made for one test run, and a server certificate
// it signed for "localhost" and 127.0.0.1, as PEM text.

#include <boost/asio/ssl/context.hpp>

#include <memory>
#include <string>

namespace test_support {

struct TestCertificates {
    std::string authorityPEM;
    std::string serverCertificatePEM;
    std::string serverKeyPEM;

    // A fresh authority and server certificate (P-256 keys, valid for a day).
    static TestCertificates make();

    // A TLS server context presenting the server certificate.
    std::shared_ptr<boost::asio::ssl::context> serverContext() const;
};

}  // namespace test_support
