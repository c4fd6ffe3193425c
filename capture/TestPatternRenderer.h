#pragma once

#include "capture/CaptureDriver.h"

#include <cstdint>
#include <vector>

namespace brightowl {

constexpr uint32_t kFourCcYuyv = FourCc('Y', 'U', 'Y', 'V');

// What a test-pattern frame shows.
enum class TestPattern : int32_t
{
    ColourBars = 0,
    Gradient = 1,
    Checkerboard = 2
};

// Draws the frames of the test pattern: a scrolling background, a bouncing box and a counter with
// the time of day, in YUYV (top row first) or 24-bit BGR (bottom row first, rows padded to 4 bytes).
// Keeps scratch rows between frames; one thread at a time.
class TestPatternRenderer
{
public:
    // Bytes of one frame of the mode's pixel format and size.
    static uint32_t FrameBytes(const VideoMode& mode);

    // Draws frame number frameNumber into frame (resized to FrameBytes). brightness is -128 to 127,
    // added to every colour channel; clockText is shown after the counter (digits and ':' only).
    void Render(const VideoMode& mode, uint64_t frameNumber, TestPattern pattern, int32_t brightness,
                const char* clockText, std::vector<uint8_t>& frame);

private:
    struct Rgb
    {
        int32_t r, g, b;
    };
    Rgb Background(TestPattern pattern, uint32_t x, uint32_t band, uint64_t frameNumber, uint32_t width,
                   uint32_t height) const;
    void EncodeRow(const std::vector<Rgb>& pixels, uint8_t* out) const;
    void FillRect(uint8_t* frame, uint32_t x, uint32_t y, uint32_t w, uint32_t h, Rgb colour) const;
    void DrawText(uint8_t* frame, uint32_t x, uint32_t y, uint32_t scale, const char* text) const;
    uint8_t* Row(uint8_t* frame, uint32_t y) const;

    VideoMode mode_;
    uint32_t stride_ = 0;
    int32_t brightness_ = 0;
    std::vector<Rgb> pixels_;
    std::vector<uint8_t> bands_[2];
};

} // namespace brightowl
