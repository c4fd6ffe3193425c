#pragma once

#include "capture/BitmapInfoHeader.h"
#include "capture/CaptureDriver.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace brightowl {

class CaptureWindow;
class CaptureWindowFactory;
class Decompressor;

// What failed last; the texts are CaptureErrorText(code).
enum class CaptureError : int32_t
{
    JpegInit = 0,
    JpegWrite = 1,
    JpegFree = 2,
    CloseCompressor = 3,
    NoDriver = 4,
    ConnectFailed = 5,
    AlreadyStreaming = 6,
    StartCaptureFailed = 7,
    AlreadyPreviewing = 8,
    DecompressFailed = 9
};

struct CaptureErrorRecord
{
    int32_t detail = 0;
    CaptureError code = CaptureError::JpegInit;
    bool set = false; // false until a first failure is stored
};

const char* CaptureErrorText(CaptureError code);

// The program's link to the camera: owns the capture window, the formats, the decompressor and
// the latest-frame slot. Every operation runs on the user-interface thread except FrameCallback
// (the capture window's streaming thread) and LockFrame / CopyFrameAndUnlock (client threads).
class CaptureDevice
{
public:
    // The factory makes the platform's capture window (the Qt preview window, or a test's stand-in).
    explicit CaptureDevice(CaptureWindowFactory& windowFactory);
    ~CaptureDevice();
    CaptureDevice(const CaptureDevice&) = delete;
    CaptureDevice& operator=(const CaptureDevice&) = delete;

    // parentWindow is the platform's window handle (a QWidget* in the program), passed to the factory.
    int32_t CreateCaptureWindow(void* parentWindow, uint32_t driverIndex, int32_t quality);
    int32_t ConnectDriver(uint32_t driverIndex);
    int32_t GetImageSize(int32_t& width, int32_t& height);
    int32_t StartPreview();
    void StopPreview();
    bool IsPreviewing() const;
    int32_t StartStreaming();
    void StopStreaming();
    bool IsStreaming() const;
    int32_t ShowFormatDialog();
    int32_t ShowSourceDialog();
    bool GetDriverDescription(int32_t index, char* name, int32_t nameSize, char* version, int32_t versionSize);
    void SetQuality(int32_t quality);
    void ShutdownCapture();
    int32_t SetUpFormats();
    int32_t ReleaseFormats();
    static int32_t FrameCallback(CaptureWindow* window, const FrameHeader& frame);

    // The latest-frame slot.
    int32_t LockFrame();
    void CopyFrameAndUnlock(uint8_t* destination);
    int32_t EncodeJpeg(const BitmapInfoHeader& header, const uint8_t* rows, uint8_t* output, int32_t capacity,
                       int32_t quality);

    CaptureErrorRecord LastError() const;

private:
    void StoreError(CaptureError code, int32_t detail);
    // Runs one operation on the capture window while it exists; a window that is gone counts as 0.
    template <typename Operation> int32_t Send(Operation operation);
    void EncodeFrame(const FrameHeader& frame);

    CaptureWindowFactory& windowFactory_;

    mutable std::mutex errorMutex_;                       // the record is written by the capture thread too
    int32_t lastErrorDetail_ = 0;                         // guarded by errorMutex_
    CaptureError lastErrorCode_ = CaptureError::JpegInit; // guarded by errorMutex_
    bool lastErrorSet_ = false;                           // guarded by errorMutex_

    BitmapInfoHeader outputFormat_;
    std::vector<uint8_t> inputFormat_; // empty when there is none
    std::atomic<bool> connected_{false};
    std::atomic<bool> previewing_{false};
    std::atomic<bool> streaming_{false};
    std::atomic<int32_t> quality_{35};
    std::unique_ptr<uint8_t[]> pictureBuffer_; // contents guarded by frameLock_
    int32_t length_ = 0;                       // guarded by frameLock_
    int32_t capacity_ = 0;
    std::unique_ptr<Decompressor> decompressor_;
    std::unique_ptr<CaptureWindow> captureWindow_;
    std::mutex frameLock_;
};

} // namespace brightowl
