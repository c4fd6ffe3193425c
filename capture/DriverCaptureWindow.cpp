#include "capture/DriverCaptureWindow.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace brightowl {

DriverCaptureWindow::DriverCaptureWindow(const DriverCatalog& catalog, DriverDialogs& dialogs, PreviewSink* sink,
                                         void* dialogParent)
    : catalog_(catalog), dialogs_(dialogs), sink_(sink), dialogParent_(dialogParent)
{
}

DriverCaptureWindow::~DriverCaptureWindow()
{
    Shutdown();
}

void DriverCaptureWindow::Shutdown()
{
    {
        std::lock_guard lock(callbackMutex_);
        streaming_ = false;
        callback_ = nullptr;
    }
    previewOn_ = false;
    DriverDisconnect();
}

bool DriverCaptureWindow::IsStreamingOn()
{
    std::lock_guard lock(callbackMutex_);
    return streaming_;
}

// The driver runs while the preview or streaming needs its frames.
bool DriverCaptureWindow::UpdateRunning()
{
    const bool wanted = driver_ && (previewOn_ || IsStreamingOn());
    if (wanted && !running_) {
        lastPreview_ = {};
        running_ = driver_->Start([this](const FrameHeader& frame) { OnFrame(frame); });
        CheckDriverLost();
        return running_;
    }
    if (!wanted && running_)
        StopDriver();
    return true;
}

void DriverCaptureWindow::StopDriver()
{
    if (running_ && driver_)
        driver_->Stop();
    running_ = false;
}

void DriverCaptureWindow::LoadFormat()
{
    inputFormat_ = {};
    previewDecompressor_.reset();
    if (!driver_)
        return;
    const std::vector<uint8_t> format = driver_->VideoFormat();
    std::memcpy(&inputFormat_, format.data(), std::min(format.size(), sizeof inputFormat_));
    BitmapInfoHeader output;
    output.biWidth = inputFormat_.biWidth;
    output.biHeight = inputFormat_.biHeight;
    output.biBitCount = 24;
    output.biCompression = kBiRgb;
    previewDecompressor_ = driver_->LocateDecompressor(inputFormat_, output);
}

// A camera that is unplugged stops delivering; say so once, not on every operation.
void DriverCaptureWindow::CheckDriverLost()
{
    if (driver_ && !lostLogged_ && !driver_->IsOpen()) {
        lostLogged_ = true;
        std::fprintf(stderr, "brightowl: capture driver \"%s\" has stopped delivering frames\n",
                     driver_->Name().c_str());
    }
}

int32_t DriverCaptureWindow::DriverConnect(uint32_t driverIndex)
{
    DriverDisconnect();
    if (driverIndex > 9)
        return 0;
    std::unique_ptr<CaptureDriver> driver = catalog_.Create(static_cast<int>(driverIndex));
    if (!driver || !driver->Open())
        return 0;
    driver_ = std::move(driver);
    lostLogged_ = false;
    LoadFormat();
    // The preview stays switched on across a change of driver, as the window's own state.
    UpdateRunning();
    return 1;
}

int32_t DriverCaptureWindow::DriverDisconnect()
{
    if (!driver_)
        return 0;
    {
        std::lock_guard lock(callbackMutex_);
        streaming_ = false;
    }
    StopDriver();
    driver_->Close();
    driver_.reset();
    previewDecompressor_.reset();
    inputFormat_ = {};
    return 1;
}

int32_t DriverCaptureWindow::GetVideoFormatSize()
{
    if (!driver_)
        return 0;
    CheckDriverLost();
    return static_cast<int32_t>(driver_->VideoFormat().size());
}

int32_t DriverCaptureWindow::GetVideoFormat(uint8_t* block, int32_t size)
{
    if (!driver_ || block == nullptr || size <= 0)
        return 0;
    const std::vector<uint8_t> format = driver_->VideoFormat();
    const size_t bytes = std::min(format.size(), static_cast<size_t>(size));
    std::memcpy(block, format.data(), bytes);
    return static_cast<int32_t>(bytes);
}

std::unique_ptr<Decompressor> DriverCaptureWindow::LocateDecompressor(const BitmapInfoHeader& input,
                                                                      const BitmapInfoHeader& output)
{
    return driver_ ? driver_->LocateDecompressor(input, output) : nullptr;
}

int32_t DriverCaptureWindow::DialogVideoFormat()
{
    if (!driver_)
        return 0;
    // A driver takes a new mode only while it is stopped.
    const bool wasRunning = running_;
    StopDriver();
    dialogs_.ShowFormatDialog(*driver_, dialogParent_);
    LoadFormat();
    if (wasRunning)
        UpdateRunning();
    return 1;
}

int32_t DriverCaptureWindow::DialogVideoSource()
{
    if (!driver_)
        return 0;
    dialogs_.ShowSourceDialog(*driver_, dialogParent_);
    return 1;
}

int32_t DriverCaptureWindow::SetPreview(bool on)
{
    if (!driver_)
        return 0;
    previewOn_ = on;
    if (!UpdateRunning()) {
        previewOn_ = false;
        return 0;
    }
    if (sink_ != nullptr)
        sink_->PreviewStateChanged(on);
    return 1;
}

int32_t DriverCaptureWindow::SetPreviewRate(int32_t milliseconds)
{
    if (milliseconds <= 0)
        return 0;
    previewRateMs_ = milliseconds;
    if (sink_ != nullptr)
        sink_->PreviewRateChanged(milliseconds);
    return 1;
}

int32_t DriverCaptureWindow::GetStatus(CaptureStatus& status)
{
    if (!driver_)
        return 0;
    CheckDriverLost();
    status.uiImageWidth = static_cast<uint32_t>(std::max(inputFormat_.biWidth, 0));
    status.uiImageHeight = static_cast<uint32_t>(std::abs(inputFormat_.biHeight));
    return 1;
}

int32_t DriverCaptureWindow::GetSequenceSetup(CaptureParms& parms)
{
    parms = parms_;
    return 1;
}

int32_t DriverCaptureWindow::SetSequenceSetup(const CaptureParms& parms)
{
    parms_ = parms;
    return 1;
}

// Only background streaming exists here: without fYield the window would have to capture on the
// calling thread until aborted, which nothing in the program asks for.
int32_t DriverCaptureWindow::SequenceNoFile()
{
    if (!driver_ || !parms_.fYield)
        return 0;
    {
        std::lock_guard lock(callbackMutex_);
        streaming_ = true;
    }
    if (!UpdateRunning()) {
        std::lock_guard lock(callbackMutex_);
        streaming_ = false;
        return 0;
    }
    return 1;
}

int32_t DriverCaptureWindow::Abort()
{
    {
        // Waits for a running callback; none starts afterwards.
        std::lock_guard lock(callbackMutex_);
        if (!streaming_)
            return 0;
        streaming_ = false;
    }
    UpdateRunning();
    return 1;
}

int32_t DriverCaptureWindow::SetCallbackOnVideoStream(FrameCallbackFunction callback)
{
    std::lock_guard lock(callbackMutex_);
    callback_ = callback;
    return 1;
}

void DriverCaptureWindow::OnFrame(const FrameHeader& frame)
{
    {
        std::lock_guard lock(callbackMutex_);
        if (streaming_ && callback_ != nullptr)
            callback_(this, frame);
    }
    if (previewOn_ && sink_ != nullptr) {
        // A quarter of the period as slack, so that a 33 ms preview takes every frame of a 30 fps driver.
        const auto now = std::chrono::steady_clock::now();
        const auto period = std::chrono::milliseconds(previewRateMs_.load());
        if (now - lastPreview_ >= period - period / 4) {
            lastPreview_ = now;
            PresentPreview(frame);
        }
    }
}

void DriverCaptureWindow::PresentPreview(const FrameHeader& frame)
{
    if (previewDecompressor_) {
        std::unique_ptr<DecodedPicture> picture = previewDecompressor_->Decompress(frame.data, frame.bytesUsed);
        if (picture)
            sink_->PresentFrame(picture->Header(), picture->Rows());
        return;
    }
    const BitmapInfoHeader& format = inputFormat_;
    const uint64_t needed = static_cast<uint64_t>(RowStride24(format.biWidth)) *
                            static_cast<uint64_t>(std::abs(static_cast<int64_t>(format.biHeight)));
    if (format.biCompression == kBiRgb && format.biBitCount == 24 && frame.data != nullptr && needed > 0 &&
        frame.bytesUsed >= needed)
        sink_->PresentFrame(format, frame.data);
}

} // namespace brightowl
