#include "capture/V4l2Driver.h"

#include "tests/support/SimulatedV4l2Device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <ostream>
#include <thread>

namespace brightowl {
namespace {

using namespace std::chrono_literals;
using test::SimulatedNode;
using test::SimulatedV4l2Device;

V4l2DeviceInfo Info(const std::string& name)
{
    return {"/dev/" + name, "Simulated Camera", "simcam", "usb-simulated-" + name, 0x060137};
}

// The frame sink: keeps a copy of the last frame and counts them.
class FrameRecorder
{
public:
    CaptureDriver::FrameSink Sink()
    {
        return [this](const FrameHeader& frame) {
            std::lock_guard lock(mutex_);
            last_.assign(frame.data, frame.data + frame.bytesUsed);
            lastLength_ = frame.bufferLength;
            lastTimestamp_ = frame.timestampUs;
            ++count_;
            changed_.notify_all();
        };
    }
    // Bounded: false when the frames did not come within a few seconds.
    bool WaitFor(int frames)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return count_ >= frames; });
    }
    int Count() const
    {
        std::lock_guard lock(mutex_);
        return count_;
    }
    std::vector<uint8_t> Last() const
    {
        std::lock_guard lock(mutex_);
        return last_;
    }
    uint32_t LastLength() const
    {
        std::lock_guard lock(mutex_);
        return lastLength_;
    }
    int64_t LastTimestamp() const
    {
        std::lock_guard lock(mutex_);
        return lastTimestamp_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint8_t> last_;
    uint32_t lastLength_ = 0;
    int64_t lastTimestamp_ = 0;
    int count_ = 0;
};

class V4l2StreamTest : public testing::Test
{
protected:
    void AddCamera(SimulatedNode node = SimulatedV4l2Device::Camera("video0", "Front Camera"))
    {
        device_.AddNode(std::move(node));
        driver_ = std::make_unique<V4l2Driver>(device_, Info("video0"));
    }

    // In this order: the driver, and with it the capture thread, goes before the sink and the camera.
    SimulatedV4l2Device device_;
    FrameRecorder frames_;
    std::unique_ptr<V4l2Driver> driver_;
};

struct StreamCase
{
    const char* name;
    uint32_t fourcc;
    FrameSize size;
};

void PrintTo(const StreamCase& c, std::ostream* out)
{
    *out << c.name;
}

class V4l2StreamDelivers : public V4l2StreamTest, public testing::WithParamInterface<StreamCase>
{
};

TEST_P(V4l2StreamDelivers, FramesWithTheirBytesUsedUntilStopped)
{
    AddCamera();
    ASSERT_TRUE(driver_->Open());
    ASSERT_TRUE(driver_->SetMode({GetParam().fourcc, GetParam().size, {1, 30}}));
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(driver_->Start(frames_.Sink()));
    EXPECT_EQ(device_.MappedBuffers(), 2u) << "the fewest buffers the device takes";
    ASSERT_TRUE(frames_.WaitFor(3));
    driver_->Stop();

    const int delivered = frames_.Count();
    EXPECT_EQ(frames_.Last(), device_.Picture("video0"));
    EXPECT_EQ(frames_.LastLength(), device_.Format("video0").sizeimage);
    const auto since = std::chrono::duration_cast<std::chrono::microseconds>(before.time_since_epoch()).count();
    EXPECT_GE(frames_.LastTimestamp(), since) << "steady-clock time of capture";
    EXPECT_FALSE(device_.Streaming("video0"));
    EXPECT_EQ(device_.MappedBuffers(), 0u);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(frames_.Count(), delivered) << "no frame after Stop returned";
    EXPECT_TRUE(driver_->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Formats, V4l2StreamDelivers,
                         testing::Values(StreamCase{"Yuyv640", V4L2_PIX_FMT_YUYV, {640, 480}},
                                         StreamCase{"Mjpeg1280", V4L2_PIX_FMT_MJPEG, {1280, 720}}),
                         [](const testing::TestParamInfo<StreamCase>& param) { return param.param.name; });

TEST_F(V4l2StreamTest, MjpegFramesAreHandedOverWithoutTheBufferSlack)
{
    AddCamera();
    ASSERT_TRUE(driver_->Open());
    ASSERT_TRUE(driver_->SetMode({V4L2_PIX_FMT_MJPEG, {640, 480}, {1, 30}}));
    ASSERT_TRUE(driver_->Start(frames_.Sink()));
    ASSERT_TRUE(frames_.WaitFor(1));
    driver_->Stop();
    const auto frame = frames_.Last();
    ASSERT_GT(frame.size(), 4u);
    EXPECT_LT(frame.size(), frames_.LastLength());
    EXPECT_EQ(frame[0], 0xff);
    EXPECT_EQ(frame[1], 0xd8);
    EXPECT_EQ(frame[frame.size() - 2], 0xff) << "ends with the JPEG end marker, nothing after it";
    EXPECT_EQ(frame[frame.size() - 1], 0xd9);
}

struct FaultyFrameCase
{
    const char* name;
    std::function<void(v4l2_buffer&)> tamper;
    bool delivered; // whether such frames reach the sink
};

void PrintTo(const FaultyFrameCase& c, std::ostream* out)
{
    *out << c.name;
}

class V4l2StreamFaultyFrames : public V4l2StreamTest, public testing::WithParamInterface<FaultyFrameCase>
{
};

TEST_P(V4l2StreamFaultyFrames, NeverReadPastTheBufferAndKeepStreaming)
{
    SimulatedNode node = SimulatedV4l2Device::Camera("video0", "Front Camera");
    node.tamper = GetParam().tamper;
    AddCamera(node);
    ASSERT_TRUE(driver_->Open());
    ASSERT_TRUE(driver_->Start(frames_.Sink()));
    for (int i = 0; i < 500 && device_.FramesDelivered("video0") < 5; ++i) {
        std::this_thread::sleep_for(2ms);
    }
    if (GetParam().delivered) {
        ASSERT_TRUE(frames_.WaitFor(5));
    }
    driver_->Stop();
    EXPECT_GE(device_.FramesDelivered("video0"), 5u) << "the stream went on";
    EXPECT_TRUE(driver_->IsOpen());
    if (GetParam().delivered) {
        EXPECT_EQ(frames_.Last().size(), frames_.LastLength()) << "cut to the mapped buffer";
    } else {
        EXPECT_EQ(frames_.Count(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, V4l2StreamFaultyFrames,
                         testing::Values(FaultyFrameCase{"BytesUsedBeyondTheBuffer",
                                                         [](v4l2_buffer& b) { b.bytesused = b.length * 4; }, true},
                                         FaultyFrameCase{"MarkedDamaged",
                                                         [](v4l2_buffer& b) { b.flags |= V4L2_BUF_FLAG_ERROR; }, false},
                                         FaultyFrameCase{"Empty", [](v4l2_buffer& b) { b.bytesused = 0; }, false}),
                         [](const testing::TestParamInfo<FaultyFrameCase>& param) { return param.param.name; });

TEST_F(V4l2StreamTest, TakesAsManyBuffersAsTheDeviceInsistsOn)
{
    SimulatedNode node = SimulatedV4l2Device::Camera("video0", "Front Camera");
    node.minBuffers = 4;
    AddCamera(node);
    ASSERT_TRUE(driver_->Open());
    ASSERT_TRUE(driver_->Start(frames_.Sink()));
    EXPECT_EQ(device_.MappedBuffers(), 4u);
    ASSERT_TRUE(frames_.WaitFor(5));
    driver_->Close();
    EXPECT_EQ(device_.MappedBuffers(), 0u);
    EXPECT_EQ(device_.OpenDescriptors(), 0);
}

TEST_F(V4l2StreamTest, RefusedStreamOnFailsStartAndLeavesNoBuffers)
{
    SimulatedNode node = SimulatedV4l2Device::Camera("video0", "Front Camera");
    node.streamOnError = ENOSPC; // what a camera says when the USB bus has no bandwidth left
    AddCamera(node);
    ASSERT_TRUE(driver_->Open());

    EXPECT_FALSE(driver_->Start(frames_.Sink()));
    EXPECT_FALSE(driver_->Start(frames_.Sink()));
    EXPECT_EQ(device_.MappedBuffers(), 0u);
    EXPECT_TRUE(driver_->IsOpen()) << "the camera is still connected";
    // The buffers were given back: the format can still be changed.
    EXPECT_TRUE(driver_->SetMode({V4L2_PIX_FMT_MJPEG, {640, 480}, {1, 30}}));
    EXPECT_EQ(frames_.Count(), 0);
}

TEST_F(V4l2StreamTest, SpuriousReadinessIsNoFrameYet)
{
    SimulatedNode node = SimulatedV4l2Device::Camera("video0", "Front Camera");
    node.eagerPoll = true;
    AddCamera(node);
    ASSERT_TRUE(driver_->Open());
    ASSERT_TRUE(driver_->Start(frames_.Sink()));
    ASSERT_TRUE(frames_.WaitFor(3));
    driver_->Stop();
    EXPECT_TRUE(driver_->IsOpen());
}

TEST_F(V4l2StreamTest, InterruptedCallsDoNotStopTheStream)
{
    AddCamera();
    ASSERT_TRUE(driver_->Open());
    ASSERT_TRUE(driver_->Start(frames_.Sink()));
    ASSERT_TRUE(frames_.WaitFor(1));
    device_.FailNextIoctls(5, EINTR);
    ASSERT_TRUE(frames_.WaitFor(frames_.Count() + 3));
    EXPECT_TRUE(driver_->IsOpen());
}

TEST_F(V4l2StreamTest, ModeChangeWhileRunningRestartsWithTheNewFormat)
{
    AddCamera();
    ASSERT_TRUE(driver_->Open());
    ASSERT_TRUE(driver_->Start(frames_.Sink()));
    ASSERT_TRUE(frames_.WaitFor(1));

    ASSERT_TRUE(driver_->SetMode({V4L2_PIX_FMT_MJPEG, {320, 240}, {1, 15}}));
    const int before = frames_.Count();
    ASSERT_TRUE(frames_.WaitFor(before + 2));
    driver_->Stop();
    EXPECT_EQ(device_.StreamOnCount("video0"), 2u);
    EXPECT_EQ(frames_.Last(), device_.Picture("video0"));
    EXPECT_EQ(device_.Format("video0").pixelformat, uint32_t{V4L2_PIX_FMT_MJPEG});
}

struct UnplugCase
{
    const char* name;
    int error;
};

void PrintTo(const UnplugCase& c, std::ostream* out)
{
    *out << c.name;
}

class V4l2StreamUnplugged : public V4l2StreamTest, public testing::WithParamInterface<UnplugCase>
{
};

TEST_P(V4l2StreamUnplugged, StopsDeliveringLogsOnceAndDisconnects)
{
    SimulatedNode node = SimulatedV4l2Device::Camera("video0", "Front Camera");
    node.unplugAfterFrames = 3;
    node.unplugError = GetParam().error;
    AddCamera(node);
    ASSERT_TRUE(driver_->Open());

    testing::internal::CaptureStderr();
    ASSERT_TRUE(driver_->Start(frames_.Sink()));
    ASSERT_TRUE(frames_.WaitFor(3));
    for (int i = 0; i < 500 && driver_->IsOpen(); ++i) {
        std::this_thread::sleep_for(2ms);
    }
    const std::string log = testing::internal::GetCapturedStderr();

    EXPECT_FALSE(driver_->IsOpen());
    EXPECT_EQ(frames_.Count(), 3);
    EXPECT_EQ(device_.OpenDescriptors(), 0) << "the gone camera's node is closed";
    EXPECT_EQ(device_.MappedBuffers(), 0u);
    const std::string reason = std::strerror(GetParam().error);
    ASSERT_NE(log.find("Simulated Camera"), std::string::npos) << log;
    EXPECT_NE(log.find(reason), std::string::npos) << log;
    EXPECT_EQ(log.find('\n'), log.size() - 1) << "one line: " << log;

    EXPECT_FALSE(driver_->Start(frames_.Sink()));
    driver_->Stop();
    EXPECT_FALSE(driver_->Open()) << "the node has gone";
    EXPECT_TRUE(driver_->Controls().empty());
}

INSTANTIATE_TEST_SUITE_P(Errors, V4l2StreamUnplugged,
                         testing::Values(UnplugCase{"NoDevice", ENODEV}, UnplugCase{"InputOutputError", EIO}),
                         [](const testing::TestParamInfo<UnplugCase>& param) { return param.param.name; });

TEST_F(V4l2StreamTest, CameraPulledWhileIdleBetweenFrames)
{
    AddCamera();
    ASSERT_TRUE(driver_->Open());
    device_.SetFrameGap(20ms);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(driver_->Start(frames_.Sink()));
    ASSERT_TRUE(frames_.WaitFor(1));
    device_.Unplug("video0");
    for (int i = 0; i < 500 && driver_->IsOpen(); ++i) {
        std::this_thread::sleep_for(2ms);
    }
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(driver_->IsOpen());
    driver_.reset();
    EXPECT_EQ(device_.OpenDescriptors(), 0);
    EXPECT_EQ(device_.MappedBuffers(), 0u);
}

} // namespace
} // namespace brightowl
