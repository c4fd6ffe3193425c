// The request reader and dispatcher: the input is what a client sends on a real connection (a
// socket pair); one ClientThread reads it and answers as the server would, on a clock whose sleeps
// and waits pass at once, so that time-outs cost nothing. The answer must be one of the server's
// answers, and never carry the secret file that lies next to "www/".
#include "capture/CaptureDevice.h"
#include "fuzz/FuzzCheck.h"
#include "server/ClientContext.h"
#include "server/ClientThread.h"
#include "server/Clock.h"
#include "server/ServerState.h"
#include "tests/support/FakeCaptureWindow.h"
#include "tests/support/RecordingPrompt.h"

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace brightowl;

constexpr char kSecret[] = "SECRET-do-not-serve";

// Time moves by 1 ms per reading, by each sleep, and by each wait that finds nothing to read.
class InstantClock : public Clock
{
public:
    int64_t NowMs() override { return now_.fetch_add(1) + 1; }
    void SleepMs(int32_t milliseconds) override { now_.fetch_add(milliseconds); }
    bool WaitReadable(int fd, int32_t milliseconds) override
    {
        if (PollReadable(fd, 0))
            return true;
        now_.fetch_add(milliseconds);
        return false;
    }

private:
    std::atomic<int64_t> now_{0};
};

struct Server;
Server* server = nullptr;

struct Server
{
    Server()
    {
        char pattern[] = "/tmp/brightowl-fuzz-request-XXXXXX";
        folder = ::mkdtemp(pattern);
        std::filesystem::current_path(folder);
        std::filesystem::create_directories("www/sub");
        std::ofstream("www/index.html") << "INDEX";
        std::ofstream("www/404.html") << "MISSING";
        std::ofstream("www/sub/a.txt") << "A-FILE";
        std::ofstream("secret.txt") << kSecret;
        std::ofstream("../secret.txt") << kSecret;
        device.CreateCaptureWindow(nullptr, 0, 35);
        device.StartStreaming();
        // One picture in the slot, so that the camera path streams.
        const BitmapInfoHeader format = test::DefaultFakeFormat();
        std::vector<uint8_t> rows(static_cast<size_t>(format.biWidth * format.biHeight * 3));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<uint8_t>(i * 7);
        FrameHeader frame;
        frame.data = rows.data();
        frame.bytesUsed = static_cast<uint32_t>(rows.size());
        frame.bufferLength = frame.bytesUsed;
        factory.window->Deliver(frame);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove("../secret.txt", ignored);
            std::filesystem::current_path("/", ignored);
            std::filesystem::remove_all(server->folder, ignored);
        });
    }

    std::string folder;
    test::FakeCaptureWindowFactory factory;
    CaptureDevice device{factory};
    test::RecordingPrompt prompt;
    InstantClock clock;
    ServerState state{0, 5, 0, "/video", device, prompt, clock};
};

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

void CheckAnswer(const std::string& answer)
{
    FUZZ_CHECK(answer.find("SECRET") == std::string::npos);
    if (answer.empty() || answer == "HTTP/1.0 501 Not Implemented\r\n")
        return;
    if (StartsWith(answer, "HTTP/1.0 200 OK\r\nContent-type: multipart/x-mixed-replace;boundary=Brightowl\r\n\r\n"))
        return;
    if (StartsWith(answer, "HTTP/1.0 404 File Not Found\r\n\r\n")) {
        FUZZ_CHECK(answer == "HTTP/1.0 404 File Not Found\r\n\r\nMISSING");
        return;
    }
    FUZZ_CHECK(StartsWith(answer, "HTTP/1.0 200 OK\r\n\r\n"));
    const std::string body = answer.substr(19);
    // An empty body: the file is www/404.html's folder or another that reads as nothing.
    FUZZ_CHECK(body == "INDEX" || body == "MISSING" || body == "A-FILE" || body.empty());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    server = new Server;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return 0;
    Socket client(ends[1]);
    // A small send buffer: an endless stream fills it after a few parts and then times out.
    int bytes = 4096;
    ::setsockopt(ends[0], SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
    size_t sent = 0;
    while (sent < size) {
        ssize_t n = ::send(client.Fd(), data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
    }
    ::shutdown(client.Fd(), SHUT_WR);

    auto context = std::make_unique<ClientContext>(0, server->device, server->state.stopFlag, server->state,
                                                   Socket(ends[0]), "/video", StreamTuning{});
    {
        ClientThread thread(std::move(context));
        FUZZ_CHECK(thread.Create());
        thread.Resume();
    }  // joined: the connection has been answered and closed

    std::string answer;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::recv(client.Fd(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0)
            break;
        answer.append(buffer, static_cast<size_t>(n));
    }
    CheckAnswer(answer);
    FUZZ_CHECK(server->prompt.Boxes().empty());
    return 0;
}
