// Time per 1280x720 camera frame from dequeue to JPEG in the slot, through the whole capture path
// (simulated camera, V4L2 driver and its capture thread, capture window, libv4lconvert, JPEG
// encoder, slot), against the bare libv4lconvert conversion plus the bare TurboJPEG encoding of the
// same frame. The camera delivers as fast as it is asked, so the capture thread never waits.
#include "capture/CaptureDevice.h"
#include "capture/DriverDialogs.h"
#include "capture/Decompressor.h"
#include "capture/JpegEncoder.h"
#include "capture/SystemDriverCatalog.h"
#include "capture/V4l2DeviceList.h"
#include "capture/V4lConvertDecompressor.h"
#include "capture/WindowlessCaptureWindowFactory.h"
#include "tests/support/SimulatedV4l2Device.h"

#include <fcntl.h>
#include <libv4lconvert.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace brightowl {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int32_t kQuality = 35; // the program's default
constexpr int kRounds = 5;
constexpr auto kRoundTime = std::chrono::milliseconds(1500);
constexpr int kBareFrames = 60;

class Dialogs : public DriverDialogs
{
public:
    void ShowFormatDialog(CaptureDriver& driver, void*) override { driver.SetMode(chosen); }
    void ShowSourceDialog(CaptureDriver&, void*) override {}
    VideoMode chosen;
};

using Factory = WindowlessCaptureWindowFactory;

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double WallSeconds()
{
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

struct PerFrame
{
    double wallMs = 0;
    double cpuMs = 0;
};

// One round of the whole path: streaming on, frames counted at the camera, streaming off.
PerFrame PipelineRound(test::SimulatedV4l2Device& camera, CaptureDevice& capture)
{
    capture.StartStreaming();
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // warm: first frames, caches
    const uint64_t framesBefore = camera.FramesDelivered("video0");
    const double wall = WallSeconds();
    const double cpu = CpuSeconds();
    std::this_thread::sleep_for(kRoundTime);
    const uint64_t frames = camera.FramesDelivered("video0") - framesBefore;
    const PerFrame result{(WallSeconds() - wall) * 1000 / static_cast<double>(frames),
                          (CpuSeconds() - cpu) * 1000 / static_cast<double>(frames)};
    capture.StopStreaming();
    return result;
}

// One round of the bare libraries on the same frame: convert to BGR, encode.
PerFrame BareRound(v4lconvert_data* convert, const v4l2_format& source, const std::vector<uint8_t>& frame)
{
    v4l2_format destination = source;
    destination.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    destination.fmt.pix.bytesperline = source.fmt.pix.width * 3;
    destination.fmt.pix.sizeimage = destination.fmt.pix.bytesperline * source.fmt.pix.height;
    std::vector<uint8_t> bgr(destination.fmt.pix.sizeimage);
    const auto width = static_cast<int>(source.fmt.pix.width);
    const auto height = static_cast<int>(source.fmt.pix.height);
    tjhandle encoder = tjInitCompress();
    std::vector<uint8_t> jpeg(tjBufSize(width, height, TJSAMP_420));
    auto* input = const_cast<uint8_t*>(frame.data());
    const double wall = WallSeconds();
    const double cpu = CpuSeconds();
    for (int i = 0; i < kBareFrames; ++i) {
        v4lconvert_convert(convert, &source, &destination, input, static_cast<int>(frame.size()), bgr.data(),
                           static_cast<int>(bgr.size()));
        unsigned char* out = jpeg.data();
        unsigned long size = jpeg.size();
        tjCompress2(encoder, bgr.data(), width, width * 3, height, TJPF_BGR, &out, &size, TJSAMP_420, kQuality,
                    TJFLAG_NOREALLOC);
    }
    const PerFrame result{(WallSeconds() - wall) * 1000 / kBareFrames, (CpuSeconds() - cpu) * 1000 / kBareFrames};
    tjDestroy(encoder);
    return result;
}

// One round of the project's decompressor and encoder on the same frame, without driver, thread or slot.
PerFrame PartsRound(Decompressor& decompressor, const std::vector<uint8_t>& frame)
{
    std::vector<uint8_t> jpeg(1280 * 720 * 4);
    const double wall = WallSeconds();
    const double cpu = CpuSeconds();
    for (int i = 0; i < kBareFrames; ++i) {
        auto picture = decompressor.Decompress(frame.data(), static_cast<uint32_t>(frame.size()));
        EncodeJpegPicture(picture->Header(), picture->Rows(), jpeg.data(), static_cast<int32_t>(jpeg.size()), kQuality);
    }
    return {(WallSeconds() - wall) * 1000 / kBareFrames, (CpuSeconds() - cpu) * 1000 / kBareFrames};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Measure(const char* label, uint32_t fourcc)
{
    const fs::path dev = fs::temp_directory_path() / ("brightowl-bench-" + std::to_string(::getpid()));
    fs::create_directories(dev);
    std::ofstream(dev / "video0").put('\0');
    test::SimulatedV4l2Device camera;
    camera.AddNode(test::SimulatedV4l2Device::Camera("video0", "Bench Camera"));
    camera.SetFrameGap(std::chrono::microseconds(0));
    SystemDriverCatalog catalog(V4l2CameraLister(camera, dev.string()));
    Dialogs dialogs;
    dialogs.chosen = {fourcc, {1280, 720}, {1, 30}};
    Factory factory(catalog, dialogs);
    CaptureDevice capture(factory);
    capture.CreateCaptureWindow(nullptr, 0, kQuality);
    capture.ShowFormatDialog();

    // The bare path on its own descriptor of the same camera, as the driver gives libv4lconvert.
    const int fd = camera.Open((dev / "video0").string(), O_RDWR);
    v4lconvert_data* convert = v4lconvert_create_with_dev_ops(fd, &camera, V4lConvertDeviceTable());
    v4l2_format source{};
    source.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    source.fmt.pix = camera.Format("video0");
    source.fmt.pix.bytesperline = fourcc == V4L2_PIX_FMT_YUYV ? 1280 * 2 : 0;
    const std::vector<uint8_t> frame = camera.Picture("video0");
    BitmapInfoHeader input;
    input.biWidth = 1280;
    input.biHeight = 720;
    input.biCompression = fourcc;
    input.biSizeImage = source.fmt.pix.sizeimage;
    BitmapInfoHeader output = input;
    output.biCompression = kBiRgb;
    output.biBitCount = 24;
    auto decompressor = CreateV4lConvertDecompressor(input, output, fd, &camera, V4lConvertDeviceTable());

    std::vector<double> pipelineWall, pipelineCpu, bareWall, bareCpu, partsWall, partsCpu;
    for (int round = 0; round < kRounds; ++round) {
        const PerFrame pipeline = PipelineRound(camera, capture);
        const PerFrame bare = BareRound(convert, source, frame);
        const PerFrame parts = PartsRound(*decompressor, frame);
        pipelineWall.push_back(pipeline.wallMs);
        pipelineCpu.push_back(pipeline.cpuMs);
        bareWall.push_back(bare.wallMs);
        bareCpu.push_back(bare.cpuMs);
        partsWall.push_back(parts.wallMs);
        partsCpu.push_back(parts.cpuMs);
    }
    decompressor.reset();
    v4lconvert_destroy(convert);
    camera.Close(fd);
    capture.ShutdownCapture();
    fs::remove_all(dev);

    const double wallRatio = Median(pipelineWall) / Median(bareWall);
    const double cpuRatio = Median(pipelineCpu) / Median(bareCpu);
    std::printf("%s\n  capture path        %6.2f ms wall %6.2f ms cpu\n"
                "  bare convert+encode %6.2f ms wall %6.2f ms cpu   ratio %.3f wall %.3f cpu\n"
                "  decompressor+encoder alone %6.2f ms wall %6.2f ms cpu   ratio %.3f wall %.3f cpu\n",
                label, Median(pipelineWall), Median(pipelineCpu), Median(bareWall), Median(bareCpu), wallRatio,
                cpuRatio, Median(partsWall), Median(partsCpu), Median(pipelineWall) / Median(partsWall),
                Median(pipelineCpu) / Median(partsCpu));
}

} // namespace
} // namespace brightowl

int main()
{
    std::printf("1280x720 frame, quality %d, median of %d rounds\n", brightowl::kQuality, brightowl::kRounds);
    brightowl::Measure("YUYV 1280x720", V4L2_PIX_FMT_YUYV);
    brightowl::Measure("MJPEG 1280x720", V4L2_PIX_FMT_MJPEG);
    return 0;
}
