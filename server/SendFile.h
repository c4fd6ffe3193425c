#pragma once

#include <cstdint>
#include <string>

namespace brightowl {

class Clock;
class Socket;

// Sends a file's raw bytes in reads of 512 bytes, after "HTTP/1.0 200 OK\r\n\r\n" when sendHeader
// is set. 0 when the whole file was sent; -1 when a send or a read failed; -2 when the file
// cannot be opened as a file (nothing has been sent then).
int32_t SendFile(const std::string& path, Socket& socket, Clock& clock, bool sendHeader);

} // namespace brightowl
