#include "capture/CaptureDevice.h"
#include "capture/DriverCaptureWindow.h"
#include "capture/SystemDriverCatalog.h"
#include "capture/TestPatternDriver.h"
#include "capture/V4l2DeviceList.h"
#include "server/ServerController.h"
#include "tests/reliability/ScaledClock.h"
#include "tests/server/LoopbackPair.h"
#include "tests/server/TempFolder.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/SimulatedV4l2Device.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace brightowl {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

class NoDialogs : public DriverDialogs
{
public:
    void ShowFormatDialog(CaptureDriver&, void*) override {}
    void ShowSourceDialog(CaptureDriver&, void*) override {}
};

class WindowFactory : public CaptureWindowFactory
{
public:
    explicit WindowFactory(const DriverCatalog& catalog) : catalog_(catalog) {}
    std::unique_ptr<CaptureWindow> Create(const std::string&, void*, int32_t, int32_t, int32_t, int32_t) override
    {
        return std::make_unique<DriverCaptureWindow>(catalog_, dialogs_, nullptr, nullptr);
    }
    bool GetDriverDescription(uint32_t index, std::string& name, std::string& version) const override
    {
        return catalog_.Describe(static_cast<int>(index), name, version);
    }

private:
    const DriverCatalog& catalog_;
    NoDialogs dialogs_;
};

bool DecodesAsJpeg(const std::string& jpeg)
{
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    bool ok = tjDecompressHeader3(handle, data, jpeg.size(), &width, &height, &subsampling, &colorspace) == 0;
    if (ok) {
        std::vector<unsigned char> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
        ok = tjDecompress2(handle, data, jpeg.size(), rgb.data(), width, 0, height, TJPF_RGB, 0) == 0;
    }
    tjDestroy(handle);
    return ok;
}

// One viewer of the camera stream that takes it apart part by part.
class StreamViewer
{
public:
    explicit StreamViewer(uint32_t port) : socket_(test::ConnectLoopback(port))
    {
        test::WriteAll(socket_, "GET /video HTTP/1.0\r\n\r\n");
        header_ = test::ReadExactly(socket_, 90, 5000);
    }

    bool Streams() const { return header_.rfind("HTTP/1.0 200 OK\r\nContent-type: multipart", 0) == 0; }

    // The next part's picture; none when the stream has ended (or its bytes are not a part).
    std::optional<std::string> NextPicture()
    {
        if (test::ReadExactly(socket_, 26, 5000) != "Content-Type: image/jpeg\r\n")
            return std::nullopt;
        std::string line;
        while (line.size() < 64 && (line.size() < 4 || line.compare(line.size() - 4, 4, "\r\n\r\n") != 0)) {
            std::string byte = test::ReadExactly(socket_, 1, 5000);
            if (byte.empty())
                return std::nullopt;
            line += byte;
        }
        if (line.rfind("Content-Length: ", 0) != 0)
            return std::nullopt;
        const size_t length = std::stoul(line.substr(16));
        std::string picture = test::ReadExactly(socket_, length, 5000);
        if (picture.size() != length || test::ReadExactly(socket_, 13, 5000) != "\r\nBrightowl\r\n")
            return std::nullopt;
        return picture;
    }

    // True when the stream ends (the server closes) within the limit.
    bool EndsWithin(std::chrono::milliseconds limit)
    {
        const auto end = Steady::now() + limit;
        while (Steady::now() < end) {
            if (test::ReadAvailable(socket_).empty()) {
                char byte;
                if (::recv(socket_.Fd(), &byte, 1, MSG_DONTWAIT | MSG_PEEK) == 0)
                    return true;
                std::this_thread::sleep_for(5ms);
            }
        }
        return false;
    }

private:
    Socket socket_;
    std::string header_;
};

// The real server and capture device over the capture window engine, with a staged test pattern
// (driver 0, told to fail when the test says) and the simulated V4L2 cameras before it.
class CameraFaultTest : public ::testing::Test
{
protected:
    CameraFaultTest() : dev_(folder_.Path() / "dev") { fs::create_directories(dev_); }

    ~CameraFaultTest() override
    {
        if (server_)
            server_->StopServer();
        capture_.ShutdownCapture();
    }

    void AddCamera(const std::string& name)
    {
        std::ofstream(dev_ / name).put('\0');
        camera_.AddNode(test::SimulatedV4l2Device::Camera(name, "Camera " + name));
    }

    void StartServer()
    {
        if (!server_)
            server_ = std::make_unique<ServerController>(0, 20, 0, "/video", capture_, prompt_, clock_);
        ASSERT_EQ(server_->StartServer(), 0);
        port_ = 0;
        for (int i = 0; i < 2000 && port_ == 0; ++i) {
            port_ = server_->GetListeningPort();
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_NE(port_, 0u);
    }

    // A picture that differs from before, within three seconds of parts (the connection holds
    // many parts of the same picture when it is sent faster than the camera makes new ones).
    static std::optional<std::string> ChangedPicture(StreamViewer& viewer, const std::string& before)
    {
        const auto end = Steady::now() + 3s;
        while (Steady::now() < end) {
            std::optional<std::string> picture = viewer.NextPicture();
            if (!picture || *picture != before)
                return picture;
        }
        return std::nullopt;
    }

    test::TempFolder folder_;
    fs::path dev_;
    test::SimulatedV4l2Device camera_;
    std::atomic<bool> damaged_{false};  // the simulated camera's frames come short
    std::atomic<TestPatternDriver*> pattern_{nullptr};
    std::atomic<TestPatternDriver::Fault> fault_{TestPatternDriver::Fault::None};
    SystemDriverCatalog catalog_{[this] {
        std::vector<DriverEntry> entries = V4l2CameraLister(camera_, dev_.string())();
        entries.push_back({"Staged Test Pattern", "1", [this] {
                               auto made = std::make_unique<TestPatternDriver>();
                               made->InjectFault(fault_);
                               pattern_ = made.get();
                               return made;
                           }});
        return entries;
    }};
    WindowFactory factory_{catalog_};
    CaptureDevice capture_{factory_};
    test::RecordingPrompt prompt_;
    test::ScaledClock clock_{10};
    std::unique_ptr<ServerController> server_;
    uint32_t port_ = 0;
};

// The test pattern disappears mid-stream: frames stop, the slot keeps its last picture, so open
// and new streams go on sending that picture; the server answers; once a driver is connected
// again, new viewers get fresh pictures.
TEST_F(CameraFaultTest, TestPatternFailingMidStreamLeavesTheLastPictureAndReconnectingBringsFreshOnes)
{
    ASSERT_EQ(capture_.CreateCaptureWindow(nullptr, 0, 50), 0);
    StartServer();
    StreamViewer before(port_);
    ASSERT_TRUE(before.Streams());
    std::optional<std::string> first = before.NextPicture();
    ASSERT_TRUE(first);
    ASSERT_TRUE(ChangedPicture(before, *first)) << "a live camera's pictures change";

    pattern_.load()->InjectFault(TestPatternDriver::Fault::Disappear);
    std::this_thread::sleep_for(150ms);
    StreamViewer after(port_);
    ASSERT_TRUE(after.Streams());
    // The slot's picture now, and all that a new stream sends.
    const int32_t length = capture_.LockFrame();
    std::string slot(static_cast<size_t>(std::max(length, 0)), '\0');
    capture_.CopyFrameAndUnlock(reinterpret_cast<uint8_t*>(slot.data()));
    std::optional<std::string> stale = after.NextPicture();
    EXPECT_EQ(stale, slot);
    ASSERT_TRUE(stale);
    EXPECT_TRUE(DecodesAsJpeg(*stale));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(after.NextPicture(), stale) << "no new frame: the slot's last picture again";
    EXPECT_TRUE(before.NextPicture()) << "the open stream goes on";
    EXPECT_EQ(test::ReadUntilClosed(*std::make_unique<Socket>(test::ConnectLoopback(port_)), 3000), "")
        << "a silent client is still served and closed";

    ASSERT_EQ(server_->StopServer(), 0);
    EXPECT_TRUE(after.EndsWithin(2s));
    EXPECT_EQ(capture_.ConnectDriver(0), 0);
    StartServer();
    StreamViewer fresh(port_);
    ASSERT_TRUE(fresh.Streams());
    std::optional<std::string> picture = ChangedPicture(fresh, *stale);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(DecodesAsJpeg(*picture));
    EXPECT_TRUE(ChangedPicture(fresh, *picture)) << "and they keep changing";
    EXPECT_TRUE(prompt_.Boxes().empty());
}

// A V4L2 camera that is unplugged mid-stream: the same, with the simulated device. Once another
// camera is connected, new viewers get its pictures.
TEST_F(CameraFaultTest, V4l2CameraUnpluggedMidStreamThenAnotherConnected)
{
    camera_.SetFrameGap(30ms);
    AddCamera("video0");
    ASSERT_EQ(capture_.CreateCaptureWindow(nullptr, 0, 50), 0);
    testing::internal::CaptureStderr();  // the driver says once that the camera has gone
    StartServer();
    StreamViewer before(port_);
    ASSERT_TRUE(before.Streams());
    std::optional<std::string> first = before.NextPicture();
    ASSERT_TRUE(first);
    EXPECT_TRUE(DecodesAsJpeg(*first));

    camera_.Unplug("video0");
    std::this_thread::sleep_for(150ms);
    StreamViewer after(port_);
    ASSERT_TRUE(after.Streams());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(after.NextPicture(), first) << "the camera shows one picture; the slot keeps it";
    EXPECT_TRUE(before.NextPicture());

    ASSERT_EQ(server_->StopServer(), 0);
    AddCamera("video1");
    ASSERT_EQ(capture_.ConnectDriver(0), 0);
    StartServer();
    const uint64_t framesBefore = camera_.FramesDelivered("video1");
    StreamViewer fresh(port_);
    ASSERT_TRUE(fresh.Streams());
    for (int i = 0; i < 3; ++i) {
        std::optional<std::string> picture = fresh.NextPicture();
        ASSERT_TRUE(picture);
        EXPECT_TRUE(DecodesAsJpeg(*picture));
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_GT(camera_.FramesDelivered("video1"), framesBefore) << "the pictures come from the new camera";
    server_->StopServer();
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(prompt_.Boxes().empty());
}

// A camera whose frames turn short mid-stream: each fails to decode, the slot holds no picture,
// and so every stream ends, open ones and new ones; the server stays up and serves files.
TEST_F(CameraFaultTest, ShortFramesEndTheStreamsAndTheServerStaysUp)
{
    test::SimulatedNode node = test::SimulatedV4l2Device::Camera("video0", "Camera video0");
    node.tamper = [this](v4l2_buffer& buffer) {
        if (damaged_)
            buffer.bytesused = 100;
    };
    camera_.SetFrameGap(20ms);
    std::ofstream(dev_ / "video0").put('\0');
    camera_.AddNode(std::move(node));
    fs::create_directory("www");
    std::ofstream("www/index.html") << "index";
    ASSERT_EQ(capture_.CreateCaptureWindow(nullptr, 0, 50), 0);
    StartServer();
    StreamViewer before(port_);
    ASSERT_TRUE(before.Streams());
    ASSERT_TRUE(before.NextPicture());

    damaged_ = true;
    EXPECT_TRUE(before.EndsWithin(3s)) << "a slot without a picture ends the stream";
    StreamViewer after(port_);
    EXPECT_TRUE(after.Streams()) << "the header and the first delimiter";
    EXPECT_TRUE(after.EndsWithin(2s));
    EXPECT_EQ(test::ReadUntilClosed(*std::make_unique<Socket>([this] {
                  Socket s = test::ConnectLoopback(port_);
                  test::WriteAll(s, "GET / HTTP/1.0\r\n\r\n");
                  return s;
              }()),
                                    3000),
              "HTTP/1.0 200 OK\r\n\r\nindex");

    damaged_ = false;
    std::this_thread::sleep_for(100ms);
    StreamViewer again(port_);
    ASSERT_TRUE(again.Streams());
    std::optional<std::string> picture = again.NextPicture();
    ASSERT_TRUE(picture) << "good frames again: pictures again";
    EXPECT_TRUE(DecodesAsJpeg(*picture));
    EXPECT_TRUE(prompt_.Boxes().empty());
}

} // namespace
} // namespace brightowl
