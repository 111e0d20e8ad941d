#pragma once

namespace platform {

// ShareGrant: how long a chosen window stays shared: for the one picture taken at once
// ("Share Once", and the user's own test), or for five minutes ("Share for 5 Minutes").
enum class ShareGrant { once, fiveMinutes };

}  // namespace platform
