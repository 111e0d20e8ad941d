#include "net/strand_hop.hpp"

namespace net {

Strand strandOf(const boost::asio::any_io_executor& executor) {
    if (const auto* strand = executor.target<Strand>()) return *strand;
    return boost::asio::make_strand(executor);
}

}  // namespace net

namespace net::detail {

void emitCancellation(boost::asio::cancellation_signal& signal, boost::asio::cancellation_type type) {
    signal.emit(type);
}

}  // namespace net::detail
