#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brightowl {

class Clock;
struct ClientContext;

// The multipart stream's boundary word with its line end: the header's boundary parameter and the
// delimiter line between parts. Viewers depend on these bytes as they are (no leading "--").
inline constexpr char kStreamDelimiter[] = "Brightowl\r\n";

// The stream header, sent once before the first delimiter line: 79 bytes.
std::string StreamHeader();

// The header of a part for a picture of length bytes (at least 1); the picture follows it.
std::string PartHeader(int32_t length);

// Answers the camera path with an endless multipart/x-mixed-replace stream of JPEG pictures, each
// part the newest picture when it is built. Ends on the stop flag, when the slot holds no picture,
// or when a send fails. sendBuffer grows to the largest part and is reused.
void SendCameraStream(ClientContext& context, Clock& clock, std::vector<uint8_t>& sendBuffer);

} // namespace brightowl
