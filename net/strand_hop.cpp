#include "net/strand_hop.hpp"

namespace net::detail {

void emitCancellation(boost::asio::cancellation_signal& signal, boost::asio::cancellation_type type) {
    signal.emit(type);
}

}  // namespace net::detail
