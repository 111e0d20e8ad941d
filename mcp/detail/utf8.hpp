#pragma once

// The library's UTF-8 checks: those of the network layer below it, which the event-stream
// parser shares.

#include "net/utf8.hpp"

namespace mcp::detail {

using net::appendRepairedUTF8;
using net::isValidUTF8;
using net::utf8MaximalSubpart;
using net::utf8SequenceLength;

}  // namespace mcp::detail
