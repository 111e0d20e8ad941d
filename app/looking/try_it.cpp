#include "app/looking/try_it.hpp"

#include <exception>
#include <optional>
#include <utility>

namespace app {

void startTryIt(const TryIt& tryIt, std::function<void(bool worked)> done) {
    if (!tryIt) {
        done(false);
        return;
    }
    std::optional<platform::Task<bool>> run;
    try {
        run.emplace(tryIt());
    } catch (const std::exception&) {
        done(false);
        return;
    }
    platform::spawn(std::move(*run), [done = std::move(done)](std::exception_ptr error, std::optional<bool> worked) {
        // The test shows its own panels to the user; a failure has nothing more to say here.
        done(!error && worked.value_or(false));
    });
}

}  // namespace app
