#include "net/tls_context.hpp"

#include <boost/asio/buffer.hpp>

#include <openssl/ssl.h>

namespace net {

namespace ssl = boost::asio::ssl;

ssl::context makeTLSContext(const TLSOptions& options) {
    ssl::context context(ssl::context::tls_client);
    SSL_CTX_set_min_proto_version(context.native_handle(), TLS1_2_VERSION);
    context.set_verify_mode(ssl::verify_peer);
    if (options.useSystemTrust) context.set_default_verify_paths();
    for (const auto& pem : options.extraAuthoritiesPEM) context.add_certificate_authority(boost::asio::buffer(pem));
    for (const auto& file : options.extraAuthorityFiles) context.load_verify_file(file);
    return context;
}

}  // namespace net
