#pragma once

#include <cstdint>

namespace brightowl {

// The device-independent bitmap header that describes a video format or a decoded picture.
// biCompression is 0 for 24-bit BGR rows (bottom-up when biHeight is positive, each row padded
// to 4 bytes); otherwise it holds the frame's four-character pixel format code.
struct BitmapInfoHeader
{
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

constexpr uint32_t kBiRgb = 0;

constexpr uint32_t FourCc(char a, char b, char c, char d)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
           (static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24);
}

// Bytes of one 24-bit row padded to a multiple of 4.
constexpr int32_t RowStride24(int32_t width)
{
    return (3 * width + 3) / 4 * 4;
}

} // namespace brightowl
