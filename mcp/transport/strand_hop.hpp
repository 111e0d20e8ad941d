#pragma once

// The library's actors move onto their strand through the helper of the net library, below
// every user of it; these names keep it at hand in mcp's own namespace.

#include "net/strand_hop.hpp"

namespace mcp {

using net::onStrand;
using net::spawnOnStrand;
using net::Strand;
using net::strandOf;

}  // namespace mcp
