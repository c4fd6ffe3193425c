#pragma once

#include <cstddef>
#include <string>

namespace brightowl {

class Clock;
class Socket;

// The most a request may hold; what comes later is not read.
inline constexpr size_t kRequestCapacity = 1024;

// Reads one request: until "\r\n" has arrived or 1024 bytes are in, whichever comes first.
// False when it gives up: no byte for more than five whole seconds, the peer closed, or a socket
// error. request receives the bytes read (1 to 1024 of them when true).
bool ReadRequest(Socket& socket, Clock& clock, std::string& request);

// What the request asks for.
struct RequestLine
{
    enum class Kind
    {
        NoAnswer,        // no method, no target or no third token: closed without an answer
        NotImplemented,  // a method other than GET
        Get              // GET target
    };
    Kind kind = Kind::NoAnswer;
    std::string target;
};

// Splits the request at spaces only (line ends and tabs are ordinary characters, so the token that
// ends the request line runs on into the next line) and judges the first three tokens.
RequestLine ParseRequest(const std::string& request);

// Letter case ignored (ASCII).
bool EqualsIgnoringCase(const std::string& a, const std::string& b);

} // namespace brightowl
