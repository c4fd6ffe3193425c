#pragma once

#include <cstdint>

namespace brightowl {

class Clock;
class Socket;

// Sends length bytes on the non-blocking connection, sleeping 100 ms whenever the socket would
// block. 1 when all were sent (at once for length 0), 0 on the no-progress time-out, a closed
// connection or a socket error. more: further bytes follow at once (see Socket::Send).
int32_t SendAll(const uint8_t* data, uint32_t length, Socket& socket, Clock& clock, bool more = false);

} // namespace brightowl
