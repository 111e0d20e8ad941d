#pragma once

#include "platform/x11/x11_connection.hpp"

namespace platform {

// compositorActive: whether a compositing manager runs on the connection's screen (it owns
// the selection _NET_WM_CM_S<screen>). Only then do translucent windows show what lies
// under them; without one their transparent parts come out black. False when the server
// doesn't answer.
bool compositorActive(const X11Connection& connection);

}  // namespace platform
