#include "server/Request.h"

#include "server/Clock.h"
#include "server/ProgressTimer.h"
#include "server/Socket.h"

#include <array>
#include <cctype>
#include <vector>

namespace brightowl {

bool ReadRequest(Socket& socket, Clock& clock, std::string& request)
{
    std::array<char, kRequestCapacity> buffer{};
    size_t received = 0;
    ProgressTimer progress(clock);
    while (received < kRequestCapacity) {
        if (progress.GiveUp())
            return false;
        std::optional<int32_t> waiting = socket.BytesWaiting();
        if (!waiting)
            return false;
        if (*waiting <= 0) {
            // Nothing waiting: wait for bytes up to the time-out, instead of asking again at once,
            // which would keep a core busy for every silent client.
            if (!clock.WaitReadable(socket.Fd(), progress.RemainingMs()))
                continue;
            // Readable with nothing waiting is the peer's close: nothing more can come, and the
            // connection still ends at the time-out, without an answer.
            if (socket.BytesWaiting().value_or(0) <= 0)
                clock.SleepMs(progress.RemainingMs());
            continue;
        }
        size_t wanted = std::min(static_cast<size_t>(*waiting), kRequestCapacity - received);
        IoResult result = socket.Receive(buffer.data() + received, wanted);
        if (result.status == IoStatus::WouldBlock) {
            clock.SleepMs(100);
            continue;
        }
        if (result.status != IoStatus::Done)
            return false;
        progress.Mark();
        received += result.count;
        if (std::string_view(buffer.data(), received).find("\r\n") != std::string_view::npos)
            break;
    }
    request.assign(buffer.data(), received);
    return true;
}

RequestLine ParseRequest(const std::string& request)
{
    // A zero byte ends the request as a text.
    const std::string text = request.substr(0, request.find('\0'));
    std::vector<std::string> tokens;
    size_t position = 0;
    while (tokens.size() < 3) {
        size_t start = text.find_first_not_of(' ', position);
        if (start == std::string::npos)
            break;
        size_t end = text.find(' ', start);
        tokens.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        position = end;
        if (end == std::string::npos)
            break;
    }
    RequestLine line;
    if (tokens.empty())
        return line;
    if (!EqualsIgnoringCase(tokens[0], "get")) {
        line.kind = RequestLine::Kind::NotImplemented;
        return line;
    }
    if (tokens.size() < 3)
        return line;
    line.kind = RequestLine::Kind::Get;
    line.target = tokens[1];
    return line;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace brightowl
