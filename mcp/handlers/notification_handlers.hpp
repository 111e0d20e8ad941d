#pragma once

// runNotificationHandlers: how the server and the client run the handlers registered for a
// notification they received.

#include "mcp/handlers/handler_box.hpp"
#include "mcp/protocol/envelopes.hpp"

#include "logging/logger.hpp"

#include <boost/asio/awaitable.hpp>

#include <memory>
#include <vector>

namespace mcp {

// Runs `handlers` on `message` one after another, each once the one before it has ended.
// What one throws goes to `logger` (when given) as "Error handling notification" with the
// method and the error, and the next runs all the same; so this never throws. The list is
// taken by value: a handler may register others while it runs, and this round runs the ones
// that were there when it began.
boost::asio::awaitable<void> runNotificationHandlers(std::vector<std::shared_ptr<NotificationHandlerBox>> handlers,
                                                     Message<AnyNotification> message,
                                                     const logging::Logger* logger);

}  // namespace mcp
