#include "capture/TestPatternRenderer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace brightowl {
namespace {

// Digits and ':' in a 3 x 5 font; each row's three bits, leftmost pixel in bit 2.
constexpr uint8_t kGlyphs[11][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}, {0, 2, 0, 2, 0},
};

constexpr int32_t kBars[8][3] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
                                 {235, 16, 235},  {235, 16, 16},  {16, 16, 235},  {16, 16, 16}};

int32_t Clamp255(int32_t v)
{
    return std::clamp(v, 0, 255);
}

uint8_t Byte(int32_t v)
{
    return static_cast<uint8_t>(Clamp255(v));
}

// BT.601 full range (as JPEG uses it), which is how libv4lconvert reads YUYV.
uint8_t Luma(int32_t r, int32_t g, int32_t b)
{
    return Byte((77 * r + 150 * g + 29 * b + 128) >> 8);
}
uint8_t ChromaU(int32_t r, int32_t g, int32_t b)
{
    return Byte(((-43 * r - 85 * g + 128 * b + 128) >> 8) + 128);
}
uint8_t ChromaV(int32_t r, int32_t g, int32_t b)
{
    return Byte(((128 * r - 107 * g - 21 * b + 128) >> 8) + 128);
}

} // namespace

uint32_t TestPatternRenderer::FrameBytes(const VideoMode& mode)
{
    const uint32_t w = mode.size.width;
    const uint32_t h = mode.size.height;
    if (mode.fourcc == kFourCcYuyv)
        return 2 * w * h;
    return static_cast<uint32_t>(RowStride24(static_cast<int32_t>(w))) * h;
}

uint8_t* TestPatternRenderer::Row(uint8_t* frame, uint32_t y) const
{
    const uint32_t memoryRow = mode_.fourcc == kFourCcYuyv ? y : mode_.size.height - 1 - y;
    return frame + static_cast<size_t>(stride_) * memoryRow;
}

TestPatternRenderer::Rgb TestPatternRenderer::Background(TestPattern pattern, uint32_t x, uint32_t band,
                                                         uint64_t frameNumber, uint32_t width, uint32_t height) const
{
    const uint64_t shifted = x + frameNumber * 4;
    switch (pattern) {
    case TestPattern::Gradient: {
        const auto level = static_cast<int32_t>((shifted * 2 * 255 / width) % 510);
        const int32_t v = level > 255 ? 510 - level : level;
        return {v, 255 - v, 128};
    }
    case TestPattern::Checkerboard: {
        const uint64_t square = std::max<uint32_t>(height / 8, 2);
        const bool light = ((shifted / square) + band) % 2 == 0;
        return light ? Rgb{220, 220, 220} : Rgb{40, 40, 40};
    }
    case TestPattern::ColourBars:
    default: {
        const auto bar = static_cast<size_t>((shifted * 8 / width) % 8);
        return {kBars[bar][0], kBars[bar][1], kBars[bar][2]};
    }
    }
}

void TestPatternRenderer::EncodeRow(const std::vector<Rgb>& pixels, uint8_t* out) const
{
    const uint32_t w = mode_.size.width;
    if (mode_.fourcc == kFourCcYuyv) {
        for (uint32_t x = 0; x + 1 < w; x += 2) {
            const Rgb& a = pixels[x];
            const Rgb& b = pixels[x + 1];
            const int32_t r = (a.r + b.r) / 2, g = (a.g + b.g) / 2, bl = (a.b + b.b) / 2;
            out[2 * x] = Luma(a.r, a.g, a.b);
            out[2 * x + 1] = ChromaU(r, g, bl);
            out[2 * x + 2] = Luma(b.r, b.g, b.b);
            out[2 * x + 3] = ChromaV(r, g, bl);
        }
        return;
    }
    for (uint32_t x = 0; x < w; ++x) {
        out[3 * x] = Byte(pixels[x].b);
        out[3 * x + 1] = Byte(pixels[x].g);
        out[3 * x + 2] = Byte(pixels[x].r);
    }
    std::memset(out + 3 * w, 0, stride_ - 3 * w);
}

void TestPatternRenderer::FillRect(uint8_t* frame, uint32_t x, uint32_t y, uint32_t w, uint32_t h, Rgb colour) const
{
    const uint32_t width = mode_.size.width;
    const uint32_t height = mode_.size.height;
    colour = {Clamp255(colour.r + brightness_), Clamp255(colour.g + brightness_), Clamp255(colour.b + brightness_)};
    const uint32_t x1 = std::min(width, x + w);
    const uint32_t y1 = std::min(height, y + h);
    for (uint32_t row = y; row < y1; ++row) {
        uint8_t* out = Row(frame, row);
        if (mode_.fourcc == kFourCcYuyv) {
            const uint8_t luma = Luma(colour.r, colour.g, colour.b);
            const uint8_t u = ChromaU(colour.r, colour.g, colour.b);
            const uint8_t v = ChromaV(colour.r, colour.g, colour.b);
            // Whole pixel pairs only: a pair shares its chroma.
            for (uint32_t col = x & ~1u; col < x1 && col + 1 < width; col += 2) {
                out[2 * col] = luma;
                out[2 * col + 1] = u;
                out[2 * col + 2] = luma;
                out[2 * col + 3] = v;
            }
        } else {
            for (uint32_t col = x; col < x1; ++col) {
                out[3 * col] = Byte(colour.b);
                out[3 * col + 1] = Byte(colour.g);
                out[3 * col + 2] = Byte(colour.r);
            }
        }
    }
}

void TestPatternRenderer::DrawText(uint8_t* frame, uint32_t x, uint32_t y, uint32_t scale, const char* text) const
{
    const size_t length = std::strlen(text);
    FillRect(frame, x, y, static_cast<uint32_t>(length) * 4 * scale + 2 * scale, 7 * scale, Rgb{0, 0, 0});
    uint32_t penX = x + scale;
    for (size_t i = 0; i < length; ++i, penX += 4 * scale) {
        const char c = text[i];
        const int glyph = c == ':' ? 10 : (c >= '0' && c <= '9') ? c - '0' : -1;
        if (glyph < 0)
            continue;
        for (uint32_t gy = 0; gy < 5; ++gy)
            for (uint32_t gx = 0; gx < 3; ++gx)
                if ((kGlyphs[glyph][gy] >> (2 - gx)) & 1u)
                    FillRect(frame, penX + gx * scale, y + (gy + 1) * scale, scale, scale, Rgb{255, 255, 255});
    }
}

void TestPatternRenderer::Render(const VideoMode& mode, uint64_t frameNumber, TestPattern pattern, int32_t brightness,
                                 const char* clockText, std::vector<uint8_t>& frame)
{
    mode_ = mode;
    brightness_ = std::clamp(brightness, -128, 127);
    const uint32_t w = mode.size.width;
    const uint32_t h = mode.size.height;
    stride_ = mode.fourcc == kFourCcYuyv ? 2 * w : static_cast<uint32_t>(RowStride24(static_cast<int32_t>(w)));
    frame.resize(FrameBytes(mode));
    if (w == 0 || h == 0)
        return;

    // The background only changes across a row, and between the two bands of the checkerboard:
    // two encoded rows are copied down the frame.
    pixels_.resize(w);
    for (uint32_t band = 0; band < 2; ++band) {
        for (uint32_t x = 0; x < w; ++x) {
            const Rgb c = Background(pattern, x, band, frameNumber, w, h);
            pixels_[x] = {Clamp255(c.r + brightness_), Clamp255(c.g + brightness_), Clamp255(c.b + brightness_)};
        }
        bands_[band].resize(stride_);
        EncodeRow(pixels_, bands_[band].data());
    }
    const uint32_t square = std::max<uint32_t>(h / 8, 2);
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(Row(frame.data(), y), bands_[(y / square) % 2].data(), stride_);

    // A box that bounces from side to side, one pixel pair per frame.
    const uint32_t box = std::max<uint32_t>(h / 6, 2) & ~1u;
    const uint32_t travel = w > box ? w - box : 1;
    const uint64_t step = (frameNumber * 2) % (2 * static_cast<uint64_t>(travel));
    const auto boxX = static_cast<uint32_t>(step < travel ? step : 2 * travel - step) & ~1u;
    const uint32_t boxY = (h - box) / 2;
    FillRect(frame.data(), boxX, boxY, box, box, Rgb{0, 0, 0});
    FillRect(frame.data(), boxX + box / 4, boxY + box / 4, box / 2, box / 2, Rgb{255, 255, 255});

    // The counter and the clock, so that a viewer sees the picture is live.
    const uint32_t scale = std::max<uint32_t>(2, h / 120) & ~1u;
    char text[48];
    std::snprintf(text, sizeof text, "%07llu %s", static_cast<unsigned long long>(frameNumber % 10000000), clockText);
    DrawText(frame.data(), 2 * scale, 2 * scale, scale, text);
}

} // namespace brightowl
