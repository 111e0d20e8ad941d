#pragma once

// HTTPClientTransportFixture: HTTPClientTransports connected to a scripted server, with the
// log records a test can look for and the detail a failed send reports.

#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/protocol/mcp_error.hpp"

#include "tests/logging/recording_log_handler.hpp"
#include "tests/mcp/io_test_fixture.hpp"
#include "tests/mcp/transport/log_lines.hpp"
#include "tests/support/http/scripted_http_server.hpp"

#include <boost/url/parse.hpp>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

namespace mcp::testing {

class HTTPClientTransportFixture : public IOTestFixture {
protected:
    // A connected transport for the server's "/mcp", logging into `journal_`; its first GET
    // waits at most `sseInitializationTimeout` seconds for a session id.
    std::shared_ptr<HTTPClientTransport> makeTransport(const test_support::ScriptedHTTPServer& server,
                                                       double sseInitializationTimeout = 10) {
        HTTPClientTransport::Options options;
        options.sseInitializationTimeout = sseInitializationTimeout;
        options.logger = logging::Logger("test", logging::testing::RecordingLogHandler(journal_));
        auto transport = HTTPClientTransport::make(io_.get_executor(),
                                                   boost::urls::parse_uri(server.url("/mcp")).value(), options);
        await(transport->connect());
        return transport;
    }

    // Whether the transport logged `message`.
    bool logged(std::string_view message) const {
        return std::any_of(journal_->begin(), journal_->end(),
                           [&](const auto& received) { return received.event.message.description() == message; });
    }

    // The detail of the MCPError that sending `message` fails with.
    std::string sendFailure(HTTPClientTransport& transport, std::string_view message) {
        try {
            await(transport.send(std::string(message)));
        } catch (const MCPError& error) {
            return error.detail().value_or("");
        }
        ADD_FAILURE() << "the send succeeded";
        return {};
    }

    logging::testing::Journal journal_ = logging::testing::makeJournal();
    // The same records, as "level message key=value ...".
    LogLines log_{journal_};
};

}  // namespace mcp::testing
