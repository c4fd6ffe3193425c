#include "capture/JpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
// jerror.h needs jpeglib.h first.
#include <jerror.h>

namespace brightowl {
namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back into
// EncodeJpegPicture, which then frees what libjpeg holds.
struct ErrorManager
{
    jpeg_error_mgr pub; // first, so that libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void OutputNothing(j_common_ptr) {}

// Writes straight into the caller's buffer. libjpeg asks for more room as soon as the buffer is
// full, before it knows whether another byte follows, so the first request is answered with a small
// spill area: a JPEG that ends exactly at the capacity succeeds, and any byte that lands in the spill
// area is one too many and fails the write. The caller's buffer is never written past its capacity.
struct Destination
{
    jpeg_destination_mgr pub; // first, so that libjpeg's pointer to it is a pointer to the whole
    JOCTET spill[64];
    bool spilled;
};

void Fail(j_compress_ptr cinfo)
{
    cinfo->err->msg_code = JERR_BUFFER_SIZE;
    (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
}

void InitDestination(j_compress_ptr) {}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
    if (destination->spilled)
        Fail(cinfo);
    destination->spilled = true;
    destination->pub.next_output_byte = destination->spill;
    destination->pub.free_in_buffer = sizeof destination->spill;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
    if (destination->spilled && destination->pub.free_in_buffer != sizeof destination->spill)
        Fail(cinfo);
}

void SetParameters(jpeg_compress_struct& cinfo, const BitmapInfoHeader& header, int32_t quality)
{
    cinfo.image_width = static_cast<JDIMENSION>(header.biWidth);
    cinfo.image_height = static_cast<JDIMENSION>(header.biHeight < 0 ? -header.biHeight : header.biHeight);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_YCbCr);
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_set_quality(&cinfo, quality, TRUE);
    // As libjpeg-turbo's own TurboJPEG front end: the fast integer DCT below quality 96, where its
    // loss of accuracy is below the quantisation's.
    cinfo.dct_method = quality >= 96 ? JDCT_ISLOW : JDCT_FASTEST;
}

// Feeds the rows top row first, whatever their order in memory, a batch at a time.
void WriteRows(jpeg_compress_struct& cinfo, const BitmapInfoHeader& header, const uint8_t* rows)
{
    const bool bottomUp = header.biHeight > 0;
    const JDIMENSION height = cinfo.image_height;
    const size_t stride = static_cast<size_t>(RowStride24(header.biWidth));
    constexpr JDIMENSION kBatch = 16;
    JSAMPROW batch[kBatch];
    while (cinfo.next_scanline < height) {
        JDIMENSION count = 0;
        for (; count < kBatch && cinfo.next_scanline + count < height; ++count) {
            const JDIMENSION y = cinfo.next_scanline + count;
            const size_t memoryRow = bottomUp ? height - 1 - y : y;
            // libjpeg takes non-const rows but only reads them.
            batch[count] = const_cast<JSAMPLE*>(rows + memoryRow * stride);
        }
        jpeg_write_scanlines(&cinfo, batch, count);
    }
}

} // namespace

JpegResult EncodeJpegPicture(const BitmapInfoHeader& header, const uint8_t* rows, uint8_t* output, int32_t capacity,
                             int32_t quality)
{
    if (rows == nullptr || header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN ||
        header.biBitCount != 24 || header.biWidth > JPEG_MAX_DIMENSION ||
        (header.biHeight < 0 ? -header.biHeight : header.biHeight) > JPEG_MAX_DIMENSION)
        return {-1, 0, -1};

    // Only objects without destructors live here: std::longjmp skips them.
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    Destination destination;
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&destination, 0, sizeof destination);
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = ErrorExit;
    errors.pub.output_message = OutputNothing;
    volatile int32_t stage = 0;

    if (setjmp(errors.jump) != 0) {
        const int32_t failed = stage;
        const int32_t detail = errors.pub.msg_code;
        if (failed < 2) {
            stage = 2;
            jpeg_destroy_compress(&cinfo);
        }
        return {-1, failed, detail};
    }

    jpeg_create_compress(&cinfo);

    stage = 1;
    // libjpeg stores a byte before it checks the room left, so an empty buffer starts in the spill area.
    destination.spilled = output == nullptr || capacity <= 0;
    destination.pub.next_output_byte = destination.spilled ? destination.spill : output;
    destination.pub.free_in_buffer = destination.spilled ? sizeof destination.spill : static_cast<size_t>(capacity);
    destination.pub.init_destination = InitDestination;
    destination.pub.empty_output_buffer = EmptyOutputBuffer;
    destination.pub.term_destination = TermDestination;
    cinfo.dest = &destination.pub;
    SetParameters(cinfo, header, quality);
    jpeg_start_compress(&cinfo, TRUE);
    WriteRows(cinfo, header, rows);
    jpeg_finish_compress(&cinfo);
    const int32_t size =
        destination.spilled ? capacity : capacity - static_cast<int32_t>(destination.pub.free_in_buffer);

    stage = 2;
    jpeg_destroy_compress(&cinfo);
    return {size, -1, 0};
}

} // namespace brightowl
