#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace brightowl {

// The connection log "Brightowl.log" in the current directory.
inline constexpr const char* kLogFileName = "Brightowl.log";

// One log line: "MM/DD/YY HH:MM:SS message\n" from a local date and time.
std::string FormatLogLine(const std::tm& local, const std::string& message);

// Appends one line with the local date and time; the file is opened and closed for every line.
// 1 when written, 0 when the file cannot be opened or written.
int32_t WriteLogLine(const std::string& message);

} // namespace brightowl
