#include "mcp/handlers/notification_handlers.hpp"

#include "mcp/protocol/detail/error_conversion.hpp"

#include <exception>

namespace mcp {

boost::asio::awaitable<void> runNotificationHandlers(std::vector<std::shared_ptr<NotificationHandlerBox>> handlers,
                                                     Message<AnyNotification> message,
                                                     const logging::Logger* logger) {
    for (const auto& handler : handlers) {
        std::exception_ptr failure;
        try {
            co_await handler->handle(message);
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure && logger != nullptr) {
            logger->error("Error handling notification", [&message, &failure] {
                return logging::Logger::Metadata{{"method", message.method}, {"error", detail::errorText(failure)}};
            });
        }
    }
}

}  // namespace mcp
