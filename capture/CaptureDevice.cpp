#include "capture/CaptureDevice.h"

#include "capture/CaptureWindow.h"
#include "capture/Decompressor.h"
#include "capture/JpegEncoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace brightowl {
namespace {

// Ten fixed entries of 64 bytes, indexed by the code.
constexpr char kErrorTexts[10][64] = {
    "Error initializing JPEG compression library",
    "Error compressing JPEG data",
    "Error cleaning up JPEG compression library",
    "Error closing compressor",
    "Error. No capture driver has been allocated",
    "Error. Unable to connect to capture driver specified.",
    "Error. Already grabbing images.",
    "Error. Unable to start image capture.",
    "Error. Already previewing images.",
    "Error. Unable to decompress image.",
};

constexpr int32_t kPreviewRateMs = 33;
constexpr int32_t kWindowWidth = 640;
constexpr int32_t kWindowHeight = 480;

// Copies text into a caller's buffer of size bytes, cut short if need be, always terminated.
void CopyText(const std::string& text, char* buffer, int32_t size)
{
    if (buffer == nullptr || size <= 0)
        return;
    const size_t bytes = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), bytes);
    buffer[bytes] = '\0';
}

} // namespace

const char* CaptureErrorText(CaptureError code)
{
    const auto index = static_cast<int32_t>(code);
    if (index < 0 || index >= 10)
        return "";
    return kErrorTexts[index];
}

CaptureDevice::CaptureDevice(CaptureWindowFactory& windowFactory) : windowFactory_(windowFactory) {}

CaptureDevice::~CaptureDevice()
{
    ShutdownCapture();
    // The window goes first: once it is gone no frame callback can reach this device.
    captureWindow_.reset();
}

template <typename Operation> int32_t CaptureDevice::Send(Operation operation)
{
    if (!captureWindow_ || !captureWindow_->Exists())
        return 0;
    return operation(*captureWindow_);
}

void CaptureDevice::StoreError(CaptureError code, int32_t detail)
{
    std::lock_guard lock(errorMutex_);
    lastErrorCode_ = code;
    lastErrorDetail_ = detail;
    lastErrorSet_ = true;
}

CaptureErrorRecord CaptureDevice::LastError() const
{
    std::lock_guard lock(errorMutex_);
    CaptureErrorRecord record;
    record.detail = lastErrorDetail_;
    record.code = lastErrorCode_;
    record.set = lastErrorSet_;
    return record;
}

int32_t CaptureDevice::CreateCaptureWindow(void* parentWindow, uint32_t driverIndex, int32_t quality)
{
    if (captureWindow_)
        ShutdownCapture();
    captureWindow_ = windowFactory_.Create("Capture Window", parentWindow, 0, 0, kWindowWidth, kWindowHeight);
    if (!captureWindow_)
        return -1;
    ConnectDriver(driverIndex); // a missing camera does not stop the start
    quality_ = quality;
    captureWindow_->SetUserData(this);
    return 0;
}

int32_t CaptureDevice::ConnectDriver(uint32_t driverIndex)
{
    if (connected_)
        Send([](CaptureWindow& w) { return w.DriverDisconnect(); });
    connected_ = false;
    if (Send([driverIndex](CaptureWindow& w) { return w.DriverConnect(driverIndex); }) != 0) {
        connected_ = true;
        SetUpFormats();
        return 0;
    }
    StoreError(CaptureError::ConnectFailed, 0);
    return -3;
}

int32_t CaptureDevice::SetUpFormats()
{
    if (!connected_)
        return 0;
    if (pictureBuffer_)
        ReleaseFormats();
    const int32_t size = Send([](CaptureWindow& w) { return w.GetVideoFormatSize(); });
    inputFormat_.assign(static_cast<size_t>(std::max(size, 0)), 0);
    if (size > 0)
        Send([this, size](CaptureWindow& w) { return w.GetVideoFormat(inputFormat_.data(), size); });

    // A format shorter than its header leaves the missing fields at their defaults (no width, no height).
    BitmapInfoHeader input;
    std::memcpy(&input, inputFormat_.data(), std::min(inputFormat_.size(), sizeof input));

    outputFormat_ = BitmapInfoHeader{};
    outputFormat_.biSize = 40;
    outputFormat_.biWidth = input.biWidth;
    outputFormat_.biHeight = input.biHeight;
    outputFormat_.biPlanes = 1;
    outputFormat_.biBitCount = 24;
    outputFormat_.biCompression = kBiRgb;
    outputFormat_.biSizeImage = 0;
    outputFormat_.biXPelsPerMeter = 1280;
    outputFormat_.biYPelsPerMeter = 1280;

    decompressor_ =
        captureWindow_ && captureWindow_->Exists() ? captureWindow_->LocateDecompressor(input, outputFormat_) : nullptr;

    // Four bytes per pixel; a negative (top-down) height counts by its size, and a format too large
    // for a 32-bit length gets no buffer.
    const int64_t capacity = int64_t{std::max(input.biWidth, 0)} * std::abs(int64_t{input.biHeight}) * 4;
    std::lock_guard lock(frameLock_);
    capacity_ = capacity <= INT32_MAX ? static_cast<int32_t>(capacity) : 0;
    pictureBuffer_ = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity_));
    length_ = 0;
    return 0;
}

int32_t CaptureDevice::ReleaseFormats()
{
    {
        std::lock_guard lock(frameLock_);
        pictureBuffer_.reset();
        capacity_ = 0;
        length_ = 0;
    }
    inputFormat_.clear();
    // Destroying a libv4lconvert context cannot fail, so "Error closing compressor" has no cause here.
    decompressor_.reset();
    return 0;
}

int32_t CaptureDevice::GetImageSize(int32_t& width, int32_t& height)
{
    if (!captureWindow_ || !captureWindow_->Exists())
        return 0;
    if (!connected_) {
        StoreError(CaptureError::NoDriver, 0);
        return -1;
    }
    CaptureStatus status;
    Send([&status](CaptureWindow& w) { return w.GetStatus(status); });
    width = static_cast<int32_t>(status.uiImageWidth);
    height = static_cast<int32_t>(status.uiImageHeight);
    return 0;
}

int32_t CaptureDevice::StartPreview()
{
    if (!connected_) {
        StoreError(CaptureError::NoDriver, 0);
        return -1;
    }
    if (previewing_) {
        StoreError(CaptureError::AlreadyPreviewing, 0);
        return -1;
    }
    Send([](CaptureWindow& w) { return w.SetPreviewRate(kPreviewRateMs); });
    if (Send([](CaptureWindow& w) { return w.SetPreview(true); }) != 0)
        previewing_ = true;
    return 0;
}

void CaptureDevice::StopPreview()
{
    if (!connected_ || !previewing_)
        return;
    if (Send([](CaptureWindow& w) { return w.SetPreview(false); }) != 0)
        previewing_ = false;
}

bool CaptureDevice::IsPreviewing() const
{
    return previewing_;
}

int32_t CaptureDevice::StartStreaming()
{
    if (!connected_) {
        StoreError(CaptureError::NoDriver, 0);
        return -1;
    }
    if (streaming_) {
        StoreError(CaptureError::AlreadyStreaming, 0);
        return -1;
    }
    CaptureParms parms;
    Send([&parms](CaptureWindow& w) { return w.GetSequenceSetup(parms); });
    parms.fYield = true;
    parms.wNumVideoRequested = 1;
    parms.vKeyAbort = 0;
    parms.fAbortLeftMouse = false;
    parms.fAbortRightMouse = false;
    Send([&parms](CaptureWindow& w) { return w.SetSequenceSetup(parms); });
    Send([](CaptureWindow& w) { return w.SetCallbackOnVideoStream(&CaptureDevice::FrameCallback); });
    if (Send([](CaptureWindow& w) { return w.SequenceNoFile(); }) == 0) {
        StoreError(CaptureError::StartCaptureFailed, 0);
        return -2;
    }
    streaming_ = true;
    return 0;
}

void CaptureDevice::StopStreaming()
{
    if (!connected_ || !streaming_)
        return;
    Send([](CaptureWindow& w) { return w.Abort(); });
    CaptureParms parms;
    Send([&parms](CaptureWindow& w) { return w.GetSequenceSetup(parms); });
    parms.fYield = false;
    parms.vKeyAbort = kVkEscape;
    parms.fAbortLeftMouse = true;
    parms.fAbortRightMouse = true;
    Send([&parms](CaptureWindow& w) { return w.SetSequenceSetup(parms); });
    Send([](CaptureWindow& w) { return w.SetCallbackOnVideoStream(nullptr); });
    streaming_ = false;
}

bool CaptureDevice::IsStreaming() const
{
    return streaming_;
}

int32_t CaptureDevice::ShowFormatDialog()
{
    if (!connected_) {
        StoreError(CaptureError::NoDriver, 0);
        return -1;
    }
    Send([](CaptureWindow& w) { return w.DialogVideoFormat(); });
    SetUpFormats();
    return 0;
}

int32_t CaptureDevice::ShowSourceDialog()
{
    if (!connected_) {
        StoreError(CaptureError::NoDriver, 0);
        return -1;
    }
    Send([](CaptureWindow& w) { return w.DialogVideoSource(); });
    SetUpFormats();
    return 0;
}

bool CaptureDevice::GetDriverDescription(int32_t index, char* name, int32_t nameSize, char* version,
                                         int32_t versionSize)
{
    std::string driverName, driverVersion;
    if (index < 0 || !windowFactory_.GetDriverDescription(static_cast<uint32_t>(index), driverName, driverVersion))
        return false;
    CopyText(driverName, name, nameSize);
    CopyText(driverVersion, version, versionSize);
    return true;
}

void CaptureDevice::SetQuality(int32_t quality)
{
    if (quality >= 0 && quality <= 100)
        quality_ = quality;
}

void CaptureDevice::ShutdownCapture()
{
    if (streaming_)
        StopStreaming();
    if (previewing_)
        StopPreview();
    ReleaseFormats();
    // The flag is cleared too, so that a second run sends nothing even while the window still exists.
    if (connected_) {
        Send([](CaptureWindow& w) { return w.DriverDisconnect(); });
        connected_ = false;
    }
}

int32_t CaptureDevice::FrameCallback(CaptureWindow* window, const FrameHeader& frame)
{
    auto* device = window != nullptr ? static_cast<CaptureDevice*>(window->GetUserData()) : nullptr;
    if (device != nullptr)
        device->EncodeFrame(frame);
    return 1;
}

// The writer's side of the slot: the lock is held from the reset of the length to the new picture.
void CaptureDevice::EncodeFrame(const FrameHeader& frame)
{
    std::lock_guard lock(frameLock_);
    length_ = 0;
    std::unique_ptr<DecodedPicture> decoded;
    BitmapInfoHeader header = outputFormat_;
    const uint8_t* rows = frame.data;
    if (decompressor_) {
        decoded = decompressor_->Decompress(frame.data, frame.bytesUsed);
        if (!decoded) {
            StoreError(CaptureError::DecompressFailed, 0);
            return;
        }
        header = decoded->Header();
        rows = decoded->Rows();
    } else {
        // Undecoded frames are 24-bit rows of the format's size; a shorter one is never read past its end.
        const uint64_t needed = static_cast<uint64_t>(RowStride24(header.biWidth)) *
                                static_cast<uint64_t>(std::abs(int64_t{header.biHeight}));
        if (frame.data == nullptr || header.biWidth <= 0 || needed == 0 || frame.bytesUsed < needed) {
            StoreError(CaptureError::DecompressFailed, 0);
            return;
        }
    }
    length_ = EncodeJpeg(header, rows, pictureBuffer_.get(), capacity_, quality_);
}

int32_t CaptureDevice::LockFrame()
{
    frameLock_.lock();
    return length_;
}

void CaptureDevice::CopyFrameAndUnlock(uint8_t* destination)
{
    if (length_ >= 1 && destination != nullptr)
        std::memcpy(destination, pictureBuffer_.get(), static_cast<size_t>(length_));
    frameLock_.unlock();
}

int32_t CaptureDevice::EncodeJpeg(const BitmapInfoHeader& header, const uint8_t* rows, uint8_t* output,
                                  int32_t capacity, int32_t quality)
{
    const JpegResult result = EncodeJpegPicture(header, rows, output, capacity, quality);
    if (result.size < 0) {
        StoreError(static_cast<CaptureError>(std::clamp(result.failedStage, 0, 2)), result.detail);
        return -1;
    }
    return result.size;
}

} // namespace brightowl
