#pragma once

// serveOnLoopback: the whole `main` of an HTTP example server.
//
//     int main(int argc, char** argv) {
//         return example::serveOnLoopback("my_server", argc, argv, "Listening on ", makeHandler);
//     }

#include "examples/http_listener/http_listener.hpp"

#include <boost/asio/any_io_executor.hpp>

#include <functional>
#include <memory>
#include <string_view>

namespace example {

// Makes the program's request handler on the executor of its one thread.
using MakeHandler = std::function<std::shared_ptr<const RequestHandler>(const boost::asio::any_io_executor&)>;

// Reads the one argument, the port (0 picks a free one); listens on 127.0.0.1 at it; writes
// `announcement` followed by "http://127.0.0.1:PORT/mcp" as the first line of standard output;
// then serves every connection with the handler `makeHandler` gives, on one thread, until
// the program is killed. Returns the exit status: 2 after writing the usage line when the
// arguments aren't one port, 1 after writing the failure when listening fails. `program`
// names the program in both.
int serveOnLoopback(std::string_view program, int argc, char** argv, std::string_view announcement,
                    const MakeHandler& makeHandler);

}  // namespace example
