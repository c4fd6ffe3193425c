#pragma once

#include "capture/BitmapInfoHeader.h"

#include <cstdint>

namespace brightowl {

// Bytes that fill a 24-bit row of the given width up to a multiple of 4 (0 to 3).
constexpr int32_t RowPadBytes24(int32_t width)
{
    return (3 * width + 3) / 4 * 4 - 3 * width;
}

// The outcome of one encoding: the JPEG's size, or -1 with the stage that failed
// (0 initialise, 1 write, 2 free) and libjpeg's message code as the detail.
struct JpegResult
{
    int32_t size = -1;
    int32_t failedStage = -1;
    int32_t detail = 0;
};

// Compresses one 24-bit BGR picture (rows padded to 4 bytes, bottom-up when header.biHeight is
// positive, top-down when negative) to an upright three-component YCbCr JPEG with 2x2 chroma
// subsampling at quality 0 to 100, straight into output. Never writes beyond capacity bytes: a JPEG
// that does not fit fails the write stage. Holds no state between calls; any thread.
JpegResult EncodeJpegPicture(const BitmapInfoHeader& header, const uint8_t* rows, uint8_t* output, int32_t capacity,
                             int32_t quality);

} // namespace brightowl
