#include "server/SendFile.h"

#include "server/SendAll.h"

#include <array>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace brightowl {

namespace {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

constexpr char kOkLine[] = "HTTP/1.0 200 OK\r\n\r\n";

} // namespace

int32_t SendFile(const std::string& path, Socket& socket, Clock& clock, bool sendHeader)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    // Linux opens a folder for reading; it is still no file, and is answered like a missing one.
    struct stat status{};
    if (!file || ::fstat(fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode))
        return -2;
    if (sendHeader &&
        SendAll(reinterpret_cast<const uint8_t*>(kOkLine), sizeof kOkLine - 1, socket, clock) == 0)
        return -1;
    std::array<uint8_t, 512> chunk{};
    while (!std::feof(file.get())) {
        size_t read = std::fread(chunk.data(), 1, chunk.size(), file.get());
        // A read that fails before the end would otherwise be retried for ever (a folder opened
        // as a file fails this way on its first read).
        if (std::ferror(file.get()))
            return -1;
        if (SendAll(chunk.data(), static_cast<uint32_t>(read), socket, clock) == 0)
            return -1;
    }
    return 0;
}

} // namespace brightowl
