#include "net/error.hpp"

namespace net {

namespace {

// Boost's category has a protected, non-virtual destructor by design: categories are never
// deleted through it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Category final : public boost::system::error_category {
public:
    const char* name() const noexcept override { return "net"; }

    std::string message(int value) const override {
        switch (static_cast<Error>(value)) {
            case Error::cancelled: return "cancelled";
            case Error::timedOut: return "The request timed out.";
            case Error::unsupportedScheme: return "unsupported URL scheme";
            case Error::invalidURL: return "the URL has no host";
            case Error::headerTooLarge: return "the response head is larger than the limit";
            case Error::bodyTooLarge: return "the response body is larger than the limit";
            case Error::unsafeHeader: return "a header name or value holds CR, LF or NUL";
        }
        return "unknown HTTP client error";
    }
};
#pragma GCC diagnostic pop

}  // namespace

const boost::system::error_category& errorCategory() noexcept {
    static const Category category;
    return category;
}

void fail(Error error, const std::string& context) {
    if (context.empty()) throw boost::system::system_error(make_error_code(error));
    throw boost::system::system_error(make_error_code(error), context);
}

bool isCancellation(const boost::system::error_code& error) noexcept { return error == Error::cancelled; }

}  // namespace net
