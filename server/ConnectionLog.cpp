#include "server/ConnectionLog.h"

#include <cstdio>
#include <memory>

namespace brightowl {

namespace {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::tm LocalNow()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

} // namespace

std::string FormatLogLine(const std::tm& local, const std::string& message)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d %02d:%02d:%02d", local.tm_mon + 1, local.tm_mday,
                  local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec);
    return std::string(stamp) + " " + message + "\n";
}

int32_t WriteLogLine(const std::string& message)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(kLogFileName, "a"));
    if (!file)
        return 0;
    const std::string line = FormatLogLine(LocalNow(), message);
    if (std::fwrite(line.data(), line.size(), 1, file.get()) != 1)
        return 0;
    // The line must reach the file now, not at a later close that could fail unseen.
    if (std::fclose(file.release()) != 0)
        return 0;
    return 1;
}

} // namespace brightowl
