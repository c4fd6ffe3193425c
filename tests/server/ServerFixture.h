#pragma once

#include "capture/CaptureDevice.h"
#include "server/ServerController.h"
#include "tests/server/LoopbackPair.h"
#include "tests/server/TempFolder.h"
#include "tests/server/TestClocks.h"
#include "tests/support/FakeCaptureWindow.h"
#include "tests/support/RecordingPrompt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace brightowl::test {

// A viewer that keeps reading (and dropping) what the server streams, so that the stream does not
// stall, until it is destroyed.
class Viewer
{
public:
    Viewer(Socket connection, size_t headerBytes) : socket_(std::move(connection))
    {
        header_ = ReadExactly(socket_, headerBytes);
        timeval timeout{0, 50000};
        ::setsockopt(socket_.Fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        reader_ = std::thread([this] {
            char buffer[65536];
            while (!quit_) {
                ssize_t n = ::recv(socket_.Fd(), buffer, sizeof buffer, 0);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                    break;
            }
        });
    }
    ~Viewer()
    {
        quit_ = true;
        reader_.join();
    }
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    const std::string& Header() const { return header_; }

private:
    Socket socket_;
    std::string header_;
    std::atomic<bool> quit_{false};
    std::thread reader_;
};

// The real ServerController on a free port, in a temporary current directory with a www/ folder,
// fed by the real CaptureDevice whose capture window is a stand-in that the test hands frames to.
class ServerFixture : public ::testing::Test
{
protected:
    static constexpr int32_t kQuality = 35;

    void SetUp() override
    {
        std::filesystem::create_directory("www");
        ASSERT_EQ(device_.CreateCaptureWindow(nullptr, 0, kQuality), 0);
        ASSERT_NE(factory_.window, nullptr);
    }

    void TearDown() override
    {
        if (server_)
            server_->StopServer();
    }

    // Real time runs five times faster for the server: a 6 s time-out takes 1.2 s.
    virtual Clock& ServerClock() { return fastClock_; }

    void Start(int32_t logConnections = 0, uint32_t maxClients = 5, const std::string& camUrl = "/video",
               uint32_t port = 0)
    {
        server_ = std::make_unique<ServerController>(logConnections, maxClients, port, camUrl, device_, prompt_,
                                                     ServerClock());
        ASSERT_EQ(server_->StartServer(), 0);
        port_ = WaitForListener();
        ASSERT_NE(port_, 0u);
    }

    // The listening port once the listener is up; 0 when it did not come up.
    uint32_t WaitForListener()
    {
        for (int i = 0; i < 2000; ++i) {
            if (uint32_t port = server_->GetListeningPort(); port != 0)
                return port;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 0;
    }

    // Sends the raw request and returns everything the server sends until it closes.
    std::string Exchange(const std::string& request)
    {
        Socket client = ConnectLoopback(port_);
        EXPECT_TRUE(client.IsValid());
        WriteAll(client, request);
        return ReadUntilClosed(client);
    }

    // A stream that stays open and is read; its first bytes (the header and the delimiter) kept.
    std::unique_ptr<Viewer> OpenViewer()
    {
        return std::make_unique<Viewer>(OpenStream(), 90);
    }

    Socket OpenStream(const std::string& target = "/video")
    {
        Socket client = ConnectLoopback(port_);
        WriteAll(client, "GET " + target + " HTTP/1.0\r\n\r\n");
        return client;
    }

    // A 32 x 24 picture of 24-bit rows; seed makes pictures differ.
    static std::vector<uint8_t> Picture(uint8_t seed)
    {
        const BitmapInfoHeader format = DefaultFakeFormat();
        std::vector<uint8_t> rows(static_cast<size_t>(format.biWidth * format.biHeight * 3));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<uint8_t>((i * 5 + seed * 37) ^ (i / 96 * seed));
        return rows;
    }

    // Hands a frame to the capture device as the driver's streaming thread would.
    void Deliver(const std::vector<uint8_t>& rows)
    {
        FrameHeader frame;
        frame.data = rows.data();
        frame.bytesUsed = static_cast<uint32_t>(rows.size());
        frame.bufferLength = frame.bytesUsed;
        factory_.window->Deliver(frame);
    }

    // The JPEG that the slot holds after Deliver(rows).
    std::string Jpeg(const std::vector<uint8_t>& rows)
    {
        std::vector<uint8_t> output(1 << 20);
        const int32_t size = device_.EncodeJpeg(DefaultFakeFormat(), rows.data(), output.data(),
                                                static_cast<int32_t>(output.size()), kQuality);
        EXPECT_GT(size, 0);
        return std::string(reinterpret_cast<const char*>(output.data()), static_cast<size_t>(std::max(size, 0)));
    }

    void WriteWwwFile(const std::string& name, const std::string& bytes)
    {
        std::ofstream("www/" + name, std::ios::binary) << bytes;
    }

    // Waits (bounded) until the connection count reads count.
    bool WaitForConnections(int32_t count)
    {
        for (int i = 0; i < 3000; ++i) {
            if (server_->GetConnectionCount() == count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    TempFolder folder_;  // first: the current directory for everything below
    FakeCaptureWindowFactory factory_;
    CaptureDevice device_{factory_};
    RecordingPrompt prompt_;
    FastClock fastClock_{5};
    std::unique_ptr<ServerController> server_;  // after the device: stopped before it goes
    uint32_t port_ = 0;
};

} // namespace brightowl::test
