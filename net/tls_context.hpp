#pragma once

// TLS settings of the client and the context made from them: TLS 1.2 or later, the peer's
// certificate checked against the trusted authorities and the host name of the URL.

#include <boost/asio/ssl/context.hpp>

#include <string>
#include <vector>

namespace net {

struct TLSOptions {
    // Trust the system's certificate authorities.
    bool useSystemTrust = true;
    // Further authorities to trust, as PEM text (one or more certificates each).
    std::vector<std::string> extraAuthoritiesPEM;
    // Further authorities to trust, as PEM files.
    std::vector<std::string> extraAuthorityFiles;
};

// A client context for `options`. Throws boost::system::system_error when an authority
// can't be read.
boost::asio::ssl::context makeTLSContext(const TLSOptions& options);

}  // namespace net
