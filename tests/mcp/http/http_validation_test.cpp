#include "mcp/http/http_validation.hpp"

#include "mcp/http/accept_header_validator.hpp"
#include "mcp/http/content_type_validator.hpp"
#include "mcp/http/origin_validator.hpp"
#include "tests/mcp/http/http_validation_outcome.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace mcp {
namespace {

// Records that it ran and answers with its fixed outcome.
class SpyValidator final : public HTTPRequestValidator {
public:
    explicit SpyValidator(std::optional<int> refuseWith = std::nullopt) : refuseWith_(refuseWith) {}

    std::optional<HTTPResponse> validate(const HTTPRequest&, const HTTPValidationContext& context) const override {
        ++calls;
        if (!refuseWith_) return std::nullopt;
        return refusal(*refuseWith_, "Spy: refused", context, {{"X-Spy", "1"}});
    }

    mutable int calls = 0;

private:
    std::optional<int> refuseWith_;
};

TEST(StandardValidationPipeline, FirstRefusalWinsAndLaterValidatorsAreNotCalled) {
    const auto passing = std::make_shared<SpyValidator>();
    const auto first = std::make_shared<SpyValidator>(418);
    const auto second = std::make_shared<SpyValidator>(500);
    const StandardValidationPipeline pipeline({passing, first, second});

    const auto response = pipeline.validate({"POST", {}, std::nullopt, std::nullopt}, testing::contextFor("POST"));

    ASSERT_TRUE(response);
    EXPECT_EQ(response->statusCode(), 418);
    EXPECT_EQ(passing->calls, 1);
    EXPECT_EQ(first->calls, 1);
    EXPECT_EQ(second->calls, 0);
}

TEST(StandardValidationPipeline, PassesWhenEveryValidatorPassesOrThereAreNone) {
    const auto a = std::make_shared<SpyValidator>();
    const auto b = std::make_shared<SpyValidator>();
    const HTTPRequest request{"POST", {}, std::nullopt, std::nullopt};
    EXPECT_FALSE(StandardValidationPipeline({a, b}).validate(request, testing::contextFor("POST")));
    EXPECT_EQ(a->calls + b->calls, 2);
    EXPECT_FALSE(StandardValidationPipeline({}).validate(request, testing::contextFor("POST")));
}

TEST(StandardValidationPipeline, RefusesANullValidator) {
    EXPECT_THROW(StandardValidationPipeline({std::make_shared<SpyValidator>(), nullptr}), std::invalid_argument);
}

TEST(StandardValidationPipeline, RunsTheStockValidatorsInTheGivenOrder) {
    const StandardValidationPipeline pipeline({
        std::make_shared<OriginValidator>(OriginValidator::localhost()),
        std::make_shared<AcceptHeaderValidator>(AcceptHeaderValidator::Mode::jsonOnly),
        std::make_shared<ContentTypeValidator>(),
    });
    const auto context = testing::contextFor("POST");
    const HTTPRequest foreignAndBare{"POST", {{"Host", "evil"}}, std::nullopt, std::nullopt};
    EXPECT_EQ(testing::outcome(pipeline.validate(foreignAndBare, context), context),
              "421 Invalid Request: Misdirected Request: Host header not allowed");
    const HTTPRequest bare{"POST", {{"Host", "localhost:1"}}, std::nullopt, std::nullopt};
    EXPECT_EQ(testing::outcome(pipeline.validate(bare, context), context),
              "406 Invalid Request: Not Acceptable: Client must accept application/json");
}

TEST(HTTPRequestValidator, RefusalCarriesTheSessionAndRendersAsAJSONRPCError) {
    auto context = testing::contextFor("POST");
    context.sessionID = "s1";
    const auto response = AcceptHeaderValidator(AcceptHeaderValidator::Mode::jsonOnly)
                              .validate({"POST", {}, std::nullopt, std::nullopt}, context);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->headers(), (HTTPHeaders{{"Content-Type", "application/json"}, {"MCP-Session-Id", "s1"}}));
    EXPECT_EQ(response->bodyData(),
              R"({"error":{"code":-32600,"message":"Invalid Request: Not Acceptable: Client must accept )"
              R"(application/json"},"id":null,"jsonrpc":"2.0"})");
}

TEST(HTTPRequestValidator, RefusalKeepsAValidatorsExtraHeaders) {
    auto context = testing::contextFor("POST");
    const auto response =
        SpyValidator(401).validate({"POST", {}, std::nullopt, std::nullopt}, context);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->headers(), (HTTPHeaders{{"Content-Type", "application/json"}, {"X-Spy", "1"}}));
}

}  // namespace
}  // namespace mcp
