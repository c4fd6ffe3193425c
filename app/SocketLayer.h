#pragma once

namespace brightowl {

// Checks at start-up that this machine's IPv4 TCP sockets can be used at all (an IPv4 stack, a free
// descriptor), so that a machine without them is told so once instead of at every Start Server.
// User-interface thread.
bool StartSocketLayer();

} // namespace brightowl
