#pragma once

#include "capture/CaptureWindow.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brightowl::test {

inline BitmapInfoHeader DefaultFakeFormat()
{
    BitmapInfoHeader header;
    header.biWidth = 32;
    header.biHeight = 24;
    header.biBitCount = 24;
    header.biCompression = kBiRgb;
    return header;
}

// What a FakeCaptureWindow answers.
struct FakeCaptureScript
{
    bool connectSucceeds = true;
    bool previewSucceeds = true;
    bool sequenceSucceeds = true;
    BitmapInfoHeader format = DefaultFakeFormat();
    std::vector<uint8_t> formatTail; // bytes after the header in the format block
    // Made by LocateDecompressor; none means frames are used as they come.
    std::function<std::unique_ptr<Decompressor>()> decompressor;
    CaptureParms parms;
};

// Stands in for the platform's capture window: records every operation it takes by name and answers
// from a script. Frames are delivered by the test through Deliver, on the test's own thread.
class FakeCaptureWindow : public CaptureWindow
{
public:
    using Script = FakeCaptureScript;

    FakeCaptureWindow() = default;
    explicit FakeCaptureWindow(Script script) : script_(std::move(script)) { parms_ = script_.parms; }

    Script& script() { return script_; }
    std::vector<std::string>& log() { return log_; }
    void Destroy() { exists_ = false; }
    const CaptureParms& parms() const { return parms_; }
    FrameCallbackFunction installedCallback() const { return callback_; }
    bool previewOn() const { return previewOn_; }
    int32_t previewRate() const { return previewRate_; }

    // Calls the installed callback as the streaming thread would.
    int32_t Deliver(const FrameHeader& frame) { return callback_ != nullptr ? callback_(this, frame) : 0; }

    bool Exists() const override { return exists_; }
    int32_t DriverConnect(uint32_t index) override
    {
        log_.push_back("connect " + std::to_string(index));
        return script_.connectSucceeds ? 1 : 0;
    }
    int32_t DriverDisconnect() override { return Log("disconnect", 1); }
    int32_t GetVideoFormatSize() override
    {
        log_.push_back("format size");
        return static_cast<int32_t>(sizeof(BitmapInfoHeader) + script_.formatTail.size());
    }
    int32_t GetVideoFormat(uint8_t* block, int32_t size) override
    {
        log_.push_back("format " + std::to_string(size));
        std::vector<uint8_t> bytes(sizeof(BitmapInfoHeader));
        std::memcpy(bytes.data(), &script_.format, sizeof script_.format);
        bytes.insert(bytes.end(), script_.formatTail.begin(), script_.formatTail.end());
        const size_t n = std::min(bytes.size(), static_cast<size_t>(size));
        std::memcpy(block, bytes.data(), n);
        return static_cast<int32_t>(n);
    }
    std::unique_ptr<Decompressor> LocateDecompressor(const BitmapInfoHeader& input,
                                                     const BitmapInfoHeader& output) override
    {
        log_.push_back("locate");
        locatedInput = input;
        locatedOutput = output;
        return script_.decompressor ? script_.decompressor() : nullptr;
    }
    int32_t DialogVideoFormat() override { return Log("format dialog", 1); }
    int32_t DialogVideoSource() override { return Log("source dialog", 1); }
    int32_t SetPreview(bool on) override
    {
        log_.push_back(on ? "preview on" : "preview off");
        if (!script_.previewSucceeds)
            return 0;
        previewOn_ = on;
        return 1;
    }
    int32_t SetPreviewRate(int32_t milliseconds) override
    {
        previewRate_ = milliseconds;
        return Log("preview rate " + std::to_string(milliseconds), 1);
    }
    int32_t GetStatus(CaptureStatus& status) override
    {
        status.uiImageWidth = static_cast<uint32_t>(script_.format.biWidth);
        status.uiImageHeight = static_cast<uint32_t>(script_.format.biHeight);
        return Log("status", 1);
    }
    int32_t GetSequenceSetup(CaptureParms& parms) override
    {
        parms = parms_;
        return Log("get sequence", 1);
    }
    int32_t SetSequenceSetup(const CaptureParms& parms) override
    {
        parms_ = parms;
        return Log("set sequence", 1);
    }
    int32_t SequenceNoFile() override { return Log("sequence", script_.sequenceSucceeds ? 1 : 0); }
    int32_t Abort() override { return Log("abort", 1); }
    int32_t SetCallbackOnVideoStream(FrameCallbackFunction callback) override
    {
        callback_ = callback;
        return Log(callback != nullptr ? "callback on" : "callback off", 1);
    }
    void SetUserData(void* data) override { userData_ = data; }
    void* GetUserData() const override { return userData_; }

    // The formats of the last LocateDecompressor.
    BitmapInfoHeader locatedInput;
    BitmapInfoHeader locatedOutput;

private:
    int32_t Log(std::string entry, int32_t result)
    {
        log_.push_back(std::move(entry));
        return result;
    }

    Script script_;
    std::vector<std::string> log_;
    bool exists_ = true;
    CaptureParms parms_;
    FrameCallbackFunction callback_ = nullptr;
    bool previewOn_ = false;
    int32_t previewRate_ = 0;
    void* userData_ = nullptr;
};

// Hands out one scripted window (or none, when told to fail) and keeps a pointer for the test.
class FakeCaptureWindowFactory : public CaptureWindowFactory
{
public:
    FakeCaptureWindow::Script script;
    bool createFails = false;
    FakeCaptureWindow* window = nullptr; // the last window made; owned by its caller
    std::vector<std::pair<std::string, std::string>> drivers{{"Fake Camera", "1.0"}};

    std::unique_ptr<CaptureWindow> Create(const std::string& name, void*, int32_t x, int32_t y, int32_t width,
                                          int32_t height) override
    {
        lastName = name;
        lastGeometry = {x, y, width, height};
        if (createFails)
            return nullptr;
        auto created = std::make_unique<FakeCaptureWindow>(script);
        window = created.get();
        return created;
    }
    bool GetDriverDescription(uint32_t index, std::string& name, std::string& version) const override
    {
        if (index >= drivers.size())
            return false;
        name = drivers[index].first;
        version = drivers[index].second;
        return true;
    }

    std::string lastName;
    std::vector<int32_t> lastGeometry;
};

} // namespace brightowl::test
