#include "examples/http_listener/loopback_server.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <exception>
#include <iostream>
#include <string>

namespace example {

namespace asio = boost::asio;
using asio::ip::tcp;

int serveOnLoopback(std::string_view program, int argc, char** argv, std::string_view announcement,
                    const MakeHandler& makeHandler) {
    if (argc != 2) {
        std::cerr << "usage: " << program << " <port>   (0 picks a free port)\n";
        return 2;
    }
    const std::string name(program);
    try {
        asio::io_context io;
        tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"),
                                                 static_cast<unsigned short>(std::stoi(argv[1]))));
        std::cout << announcement << "http://127.0.0.1:" << acceptor.local_endpoint().port() << "/mcp" << std::endl;
        auto accepting = acceptConnections(std::move(acceptor), makeHandler(io.get_executor()));
        asio::co_spawn(io, std::move(accepting), [name](std::exception_ptr error) {
            if (!error) return;
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& failure) {
                std::cerr << name << ": " << failure.what() << '\n';
            }
        });
        io.run();
    } catch (const std::exception& error) {
        std::cerr << name << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace example
