#pragma once

// The private-address test of the OAuth client. A hostile server can name a URL that makes the
// client call into the local network (a cloud metadata service, a router); these checks judge
// the address that a connection would really reach, whatever form the URL wrote it in.

#include <boost/asio/ip/address.hpp>

#include <optional>
#include <string_view>

namespace mcp {

// parseIPLiteral: `host` as an IP address when it is one, the way the system resolver reads
// numeric hosts: an IPv6 literal (brackets allowed), or an IPv4 address in any of the forms
// inet_aton accepts ("10.0.0.1", "2852039166", "0x0a.0.0.1", "0251.0376.0251.0376",
// "169.254.43518"). Absent for a host name.
std::optional<boost::asio::ip::address> parseIPLiteral(std::string_view host);

// isPrivateIPAddress: whether `address` lies in a private, shared, link-local or unspecified
// range: 0.0.0.0/8, 10.0.0.0/8, 100.64.0.0/10, 169.254.0.0/16, 172.16.0.0/12, 192.168.0.0/16,
// fc00::/7, fe80::/10 and ::. IPv6 forms that carry an IPv4 address (mapped ::ffff:0:0/96,
// compatible ::/96 and NAT64 64:ff9b::/96) are judged by that address. Loopback addresses are
// not private: the client reaches local servers over loopback on purpose.
bool isPrivateIPAddress(const boost::asio::ip::address& address) noexcept;

// isPrivateIPHost: whether `host`, a URL's host without brackets, is an IP literal that
// isPrivateIPAddress refuses. A host name is never private by its text: "feature.example.com" is
// an ordinary name. What a name resolves to must be checked when the connection is made.
bool isPrivateIPHost(std::string_view host);

}  // namespace mcp
