#pragma once

#include "capture/BitmapInfoHeader.h"

#include <turbojpeg.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace brightowl::test {

// A JPEG decoded back with TurboJPEG: RGB pixels, top row first.
struct DecodedJpeg
{
    bool ok = false;
    int width = 0;
    int height = 0;
    int subsampling = -1;
    int colorspace = -1;
    std::vector<uint8_t> rgb;

    const uint8_t* Pixel(int x, int y) const
    {
        return rgb.data() + 3 * (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x));
    }
};

inline DecodedJpeg DecodeJpeg(const uint8_t* data, size_t size)
{
    DecodedJpeg result;
    tjhandle handle = tjInitDecompress();
    if (handle == nullptr)
        return result;
    auto* bytes = const_cast<unsigned char*>(data);
    if (tjDecompressHeader3(handle, bytes, static_cast<unsigned long>(size), &result.width, &result.height,
                            &result.subsampling, &result.colorspace) == 0) {
        result.rgb.resize(3 * static_cast<size_t>(result.width) * static_cast<size_t>(result.height));
        result.ok = tjDecompress2(handle, bytes, static_cast<unsigned long>(size), result.rgb.data(), result.width, 0,
                                  result.height, TJPF_RGB, 0) == 0;
    }
    tjDestroy(handle);
    return result;
}

inline DecodedJpeg DecodeJpeg(const std::vector<uint8_t>& data)
{
    return DecodeJpeg(data.data(), data.size());
}

// A 24-bit BGR picture whose top half is red and bottom half blue, with every pad byte set to 0xEE.
struct TwoTonePicture
{
    BitmapInfoHeader header;
    std::vector<uint8_t> rows;

    TwoTonePicture(int32_t width, int32_t height, bool bottomUp = true)
    {
        header.biWidth = width;
        header.biHeight = bottomUp ? height : -height;
        header.biBitCount = 24;
        header.biCompression = kBiRgb;
        const auto stride = static_cast<size_t>(RowStride24(width));
        rows.assign(stride * static_cast<size_t>(height), 0xEE);
        for (int32_t y = 0; y < height; ++y) { // y counts from the top of the picture
            const bool top = y < (height + 1) / 2;
            const size_t memoryRow = static_cast<size_t>(bottomUp ? height - 1 - y : y);
            for (int32_t x = 0; x < width; ++x) {
                uint8_t* p = rows.data() + memoryRow * stride + 3 * static_cast<size_t>(x);
                p[0] = top ? 0 : 255; // blue
                p[1] = 0;             // green
                p[2] = top ? 255 : 0; // red
            }
        }
    }
};

inline bool IsRed(const uint8_t* rgb)
{
    return rgb[0] > 180 && rgb[1] < 90 && rgb[2] < 90;
}

inline bool IsBlue(const uint8_t* rgb)
{
    return rgb[2] > 180 && rgb[0] < 90 && rgb[1] < 90;
}

} // namespace brightowl::test
