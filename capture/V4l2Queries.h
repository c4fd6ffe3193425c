#pragma once

#include "capture/CaptureDriver.h"
#include "capture/V4l2DeviceOps.h"

#include <cstdint>
#include <vector>

namespace brightowl {

// What a V4L2 node offers, read through its device operations. Each returns an empty list when
// the node answers nothing (or has gone).

// The pixel formats (VIDIOC_ENUM_FMT) with their frame sizes (VIDIOC_ENUM_FRAMESIZES); a stepwise
// or continuous range becomes the common picture sizes inside it plus its two ends.
std::vector<PixelFormatChoice> QueryV4l2PixelFormats(V4l2DeviceOps& ops, int fd);

// The frame intervals of one format and size (VIDIOC_ENUM_FRAMEINTERVALS), shortest first; a
// range becomes the common frame rates inside it plus its two ends.
std::vector<FrameInterval> QueryV4l2FrameIntervals(V4l2DeviceOps& ops, int fd, uint32_t fourcc, FrameSize size);

// The adjustable controls (VIDIOC_QUERYCTRL with V4L2_CTRL_FLAG_NEXT_CTRL, menus through
// VIDIOC_QUERYMENU) with their current values. Disabled and read-only controls are left out.
std::vector<ControlInfo> QueryV4l2Controls(V4l2DeviceOps& ops, int fd);

} // namespace brightowl
