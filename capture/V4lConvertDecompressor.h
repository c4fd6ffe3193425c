#pragma once

#include "capture/BitmapInfoHeader.h"
#include "capture/Decompressor.h"

#include <memory>

struct libv4l_dev_ops;

namespace brightowl {

// A decompressor over libv4lconvert from a driver's pixel format (biCompression holds the V4L2
// four-character code: YUYV, UYVY, MJPG, JPEG, RGB3, BGR3, ...) to 24-bit BGR bottom-up rows padded
// to 4 bytes, as out describes them (out.biWidth and out.biHeight must match the input).
// fd, devOpsPriv and devOps are the camera's own descriptor and device operations, so that
// libv4lconvert can ask the camera about itself; with fd -1 a built-in stand-in answers for a
// device that only converts. None when the input already is 24-bit BGR rows (BI_RGB) or when
// libv4lconvert cannot convert the format.
std::unique_ptr<Decompressor> CreateV4lConvertDecompressor(const BitmapInfoHeader& in, const BitmapInfoHeader& out,
                                                           int fd = -1, void* devOpsPriv = nullptr,
                                                           const struct libv4l_dev_ops* devOps = nullptr);

} // namespace brightowl
