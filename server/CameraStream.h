#pragma once

#include <cstdint>
#include <vector>

namespace brightowl {

class Clock;
struct ClientContext;

// The multipart stream's boundary word with its line end: the header's boundary parameter and the
// delimiter line between parts. Viewers depend on these bytes as they are (no leading "--").
inline constexpr char kStreamDelimiter[] = "Brightowl\r\n";

// Answers the camera path with an endless multipart/x-mixed-replace stream of JPEG pictures, each
// part the newest picture when it is built. Ends on the stop flag, when the slot holds no picture,
// or when a send fails. sendBuffer grows to the largest part and is reused.
void SendCameraStream(ClientContext& context, Clock& clock, std::vector<uint8_t>& sendBuffer);

} // namespace brightowl
