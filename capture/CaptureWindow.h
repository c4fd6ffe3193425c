#pragma once

#include "capture/CaptureDriver.h"
#include "capture/Decompressor.h"

#include <cstdint>
#include <memory>
#include <string>

namespace brightowl {

class CaptureWindow;

// What the capture window reports about the picture it captures.
struct CaptureStatus
{
    uint32_t uiImageWidth = 0;
    uint32_t uiImageHeight = 0;
};

// The streaming parameters of a capture window. CaptureDevice changes fYield, wNumVideoRequested,
// vKeyAbort, fAbortLeftMouse and fAbortRightMouse and hands the others back as it read them.
struct CaptureParms
{
    uint32_t dwRequestMicroSecPerFrame = 33333; // the frame period asked of the driver
    bool fMakeUserHitOKToCapture = false;
    uint32_t wPercentDropForError = 10;
    bool fYield = false;             // stream on a background thread of the window's own
    uint32_t wNumVideoRequested = 2; // video buffers
    bool fCaptureAudio = false;
    uint32_t vKeyAbort = 27; // key that ends streaming (27 is Escape, 0 none)
    bool fAbortLeftMouse = true;
    bool fAbortRightMouse = true;
    bool fLimitEnabled = false;
    uint32_t wTimeLimit = 0; // seconds, when fLimitEnabled
    friend bool operator==(const CaptureParms&, const CaptureParms&) = default;
};

constexpr uint32_t kVkEscape = 27;

// Called once per frame on the window's streaming thread; the result is ignored.
using FrameCallbackFunction = int32_t (*)(CaptureWindow* window, const FrameHeader& frame);

// The capture window: shows the live preview of one connected driver and streams its frames to a
// callback. Every operation runs on the user-interface thread and answers as the window's messages
// do: 0 for "no" or "nothing", non-zero for done. The caller sends an operation only while Exists()
// is true; a window that no longer exists takes none.
class CaptureWindow
{
public:
    virtual ~CaptureWindow() = default;

    // False once the platform window behind it has been destroyed (with its parent).
    virtual bool Exists() const = 0;

    virtual int32_t DriverConnect(uint32_t driverIndex) = 0;
    virtual int32_t DriverDisconnect() = 0;

    // Size in bytes of the driver's current video format (a bitmap info header and what follows it).
    virtual int32_t GetVideoFormatSize() = 0;
    // Fills block with at most size bytes of the format; the bytes written.
    virtual int32_t GetVideoFormat(uint8_t* block, int32_t size) = 0;

    // A converter from the connected driver's format to the 24-bit output format, or none (no
    // driver, or the input already is 24-bit BGR rows).
    virtual std::unique_ptr<Decompressor> LocateDecompressor(const BitmapInfoHeader& input,
                                                             const BitmapInfoHeader& output) = 0;

    // The driver's modal dialogs; return when the dialog has closed.
    virtual int32_t DialogVideoFormat() = 0;
    virtual int32_t DialogVideoSource() = 0;

    virtual int32_t SetPreview(bool on) = 0;
    // Milliseconds between preview frames.
    virtual int32_t SetPreviewRate(int32_t milliseconds) = 0;
    virtual int32_t GetStatus(CaptureStatus& status) = 0;

    virtual int32_t GetSequenceSetup(CaptureParms& parms) = 0;
    virtual int32_t SetSequenceSetup(const CaptureParms& parms) = 0;
    // Starts streaming without a capture file; with fYield it returns at once.
    virtual int32_t SequenceNoFile() = 0;
    // Ends streaming; once it returns no frame callback is running or will start.
    virtual int32_t Abort() = 0;
    // Installs the frame callback, or removes it with nullptr.
    virtual int32_t SetCallbackOnVideoStream(FrameCallbackFunction callback) = 0;

    // One word kept for the window's owner.
    virtual void SetUserData(void* data) = 0;
    virtual void* GetUserData() const = 0;
};

// Makes the platform's capture windows and lists the installed drivers.
class CaptureWindowFactory
{
public:
    virtual ~CaptureWindowFactory() = default;
    // A capture window as a child of parentWindow (a QWidget* in the program) at x, y with the given
    // size, or none when it cannot be made.
    virtual std::unique_ptr<CaptureWindow> Create(const std::string& name, void* parentWindow, int32_t x, int32_t y,
                                                  int32_t width, int32_t height) = 0;
    // Name and version texts of the driver at index (0 to 9); false when there is none.
    virtual bool GetDriverDescription(uint32_t index, std::string& name, std::string& version) const = 0;
};

} // namespace brightowl
