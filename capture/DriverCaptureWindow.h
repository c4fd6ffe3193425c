#pragma once

#include "capture/CaptureWindow.h"
#include "capture/DriverDialogs.h"
#include "capture/PreviewSink.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace brightowl {

// The capture window's engine: connects one driver of a catalog, runs it while the preview or
// streaming is on, decodes a frame for the preview sink at the preview rate and hands every frame to
// the installed callback while streaming. Owns the connected driver. Operations run on the
// user-interface thread; the preview decoding and the callback run on the driver's frame thread.
class DriverCaptureWindow : public CaptureWindow
{
public:
    // The catalog and the dialogs outlive the window; the sink may be null (no preview shown).
    // dialogParent is handed to the driver dialogs (a QWidget* in the program).
    DriverCaptureWindow(const DriverCatalog& catalog, DriverDialogs& dialogs, PreviewSink* sink, void* dialogParent);
    ~DriverCaptureWindow() override;
    DriverCaptureWindow(const DriverCaptureWindow&) = delete;
    DriverCaptureWindow& operator=(const DriverCaptureWindow&) = delete;

    bool Exists() const override { return true; }
    int32_t DriverConnect(uint32_t driverIndex) override;
    int32_t DriverDisconnect() override;
    int32_t GetVideoFormatSize() override;
    int32_t GetVideoFormat(uint8_t* block, int32_t size) override;
    std::unique_ptr<Decompressor> LocateDecompressor(const BitmapInfoHeader& input,
                                                     const BitmapInfoHeader& output) override;
    int32_t DialogVideoFormat() override;
    int32_t DialogVideoSource() override;
    int32_t SetPreview(bool on) override;
    int32_t SetPreviewRate(int32_t milliseconds) override;
    int32_t GetStatus(CaptureStatus& status) override;
    int32_t GetSequenceSetup(CaptureParms& parms) override;
    int32_t SetSequenceSetup(const CaptureParms& parms) override;
    int32_t SequenceNoFile() override;
    int32_t Abort() override;
    int32_t SetCallbackOnVideoStream(FrameCallbackFunction callback) override;
    void SetUserData(void* data) override { userData_ = data; }
    void* GetUserData() const override { return userData_; }

    // True once the connected driver has gone (its device unplugged or failed).
    bool DriverLost() const { return lostLogged_; }

protected:
    // Stops streaming and the preview and closes the driver; no callback runs once it returns.
    void Shutdown();

private:
    bool IsStreamingOn();
    bool UpdateRunning();
    void StopDriver();
    void LoadFormat();
    void CheckDriverLost();
    void OnFrame(const FrameHeader& frame);
    void PresentPreview(const FrameHeader& frame);

    const DriverCatalog& catalog_;
    DriverDialogs& dialogs_;
    PreviewSink* sink_;
    void* dialogParent_;
    std::unique_ptr<CaptureDriver> driver_;
    bool running_ = false;
    bool lostLogged_ = false;
    CaptureParms parms_;
    void* userData_ = nullptr;
    std::atomic<bool> previewOn_{false};
    std::atomic<int32_t> previewRateMs_{33};

    // Read on the frame thread while the driver runs, replaced only while it is stopped.
    BitmapInfoHeader inputFormat_;
    std::unique_ptr<Decompressor> previewDecompressor_;
    std::chrono::steady_clock::time_point lastPreview_; // frame thread

    std::mutex callbackMutex_;                 // held while a callback runs
    FrameCallbackFunction callback_ = nullptr; // guarded by callbackMutex_
    bool streaming_ = false;                   // guarded by callbackMutex_
};

} // namespace brightowl
