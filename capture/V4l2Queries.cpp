#include "capture/V4l2Queries.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace brightowl {

namespace {

// Bounds every enumeration: a driver that answers every index must not loop for ever.
constexpr uint32_t kMaxEntries = 256;

std::string FixedText(const uint8_t* text, size_t size)
{
    const auto* begin = reinterpret_cast<const char*>(text);
    return std::string(begin, std::find(begin, begin + size, '\0'));
}

constexpr std::array<FrameSize, 21> kCommonSizes = {{
    {160, 120},  {176, 144},  {320, 180},   {320, 240},   {352, 288},   {424, 240},   {640, 360},
    {640, 480},  {800, 448},  {800, 600},   {848, 480},   {960, 540},   {1024, 576},  {1024, 768},
    {1280, 720}, {1280, 960}, {1280, 1024}, {1600, 1200}, {1920, 1080}, {2560, 1440}, {3840, 2160},
}};

constexpr std::array<uint32_t, 10> kCommonRates = {5, 10, 15, 20, 24, 25, 30, 50, 60, 120};

bool InStep(uint32_t value, uint32_t minimum, uint32_t maximum, uint32_t step)
{
    return value >= minimum && value <= maximum && (step == 0 || (value - minimum) % step == 0);
}

std::vector<FrameSize> ExpandSizes(const v4l2_frmsize_stepwise& range)
{
    std::vector<FrameSize> sizes = {{range.min_width, range.min_height}};
    for (const FrameSize& size : kCommonSizes) {
        if (InStep(size.width, range.min_width, range.max_width, range.step_width) &&
            InStep(size.height, range.min_height, range.max_height, range.step_height)) {
            sizes.push_back(size);
        }
    }
    sizes.push_back({range.max_width, range.max_height});
    return sizes;
}

std::vector<FrameSize> QuerySizes(V4l2DeviceOps& ops, int fd, uint32_t fourcc)
{
    std::vector<FrameSize> sizes;
    for (uint32_t index = 0; index < kMaxEntries; ++index) {
        v4l2_frmsizeenum entry{};
        entry.index = index;
        entry.pixel_format = fourcc;
        if (ops.Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &entry) != 0) {
            break;
        }
        if (entry.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            sizes.push_back({entry.discrete.width, entry.discrete.height});
            continue;
        }
        sizes = ExpandSizes(entry.stepwise);
        break;
    }
    // Some drivers list a size twice (or a range's end is a common size): keep each once.
    std::vector<FrameSize> unique;
    for (const FrameSize& size : sizes) {
        if (size.width != 0 && size.height != 0 && std::find(unique.begin(), unique.end(), size) == unique.end()) {
            unique.push_back(size);
        }
    }
    return unique;
}

// a < b for two intervals of seconds.
bool Shorter(const FrameInterval& a, const FrameInterval& b)
{
    return uint64_t{a.numerator} * b.denominator < uint64_t{b.numerator} * a.denominator;
}

std::vector<FrameInterval> ExpandIntervals(const v4l2_frmival_stepwise& range)
{
    const FrameInterval shortest{range.min.numerator, range.min.denominator};
    const FrameInterval longest{range.max.numerator, range.max.denominator};
    std::vector<FrameInterval> intervals = {shortest};
    for (uint32_t rate : kCommonRates) {
        const FrameInterval interval{1, rate};
        if (Shorter(shortest, interval) && Shorter(interval, longest)) {
            intervals.push_back(interval);
        }
    }
    intervals.push_back(longest);
    return intervals;
}

ControlInfo::Kind KindOf(uint32_t type)
{
    switch (type) {
    case V4L2_CTRL_TYPE_BOOLEAN:
        return ControlInfo::Kind::Boolean;
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
        return ControlInfo::Kind::Menu;
    case V4L2_CTRL_TYPE_BUTTON:
        return ControlInfo::Kind::Button;
    default:
        return ControlInfo::Kind::Integer;
    }
}

bool Adjustable(const v4l2_queryctrl& query)
{
    switch (query.type) {
    case V4L2_CTRL_TYPE_INTEGER:
    case V4L2_CTRL_TYPE_BOOLEAN:
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
    case V4L2_CTRL_TYPE_BUTTON:
        return (query.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY)) == 0;
    default:
        return false; // class headings, 64-bit, string and compound controls
    }
}

void QueryMenu(V4l2DeviceOps& ops, int fd, const v4l2_queryctrl& query, ControlInfo& control)
{
    const int32_t last = std::min(query.maximum, query.minimum + static_cast<int32_t>(kMaxEntries));
    for (int32_t index = query.minimum; index <= last; ++index) {
        v4l2_querymenu item{};
        item.id = query.id;
        item.index = static_cast<uint32_t>(index);
        // Menus may have holes: an index the driver refuses is not offered.
        if (ops.Ioctl(fd, VIDIOC_QUERYMENU, &item) != 0) {
            continue;
        }
        control.menuItems.emplace_back(index, query.type == V4L2_CTRL_TYPE_INTEGER_MENU
                                                  ? std::to_string(item.value)
                                                  : FixedText(item.name, sizeof item.name));
    }
}

ControlInfo MakeControl(V4l2DeviceOps& ops, int fd, const v4l2_queryctrl& query)
{
    ControlInfo control;
    control.id = query.id;
    control.name = FixedText(query.name, sizeof query.name);
    control.kind = KindOf(query.type);
    control.minimum = query.minimum;
    control.maximum = query.maximum;
    control.step = std::max(query.step, 1);
    control.defaultValue = query.default_value;
    control.value = query.default_value;
    if (control.kind == ControlInfo::Kind::Menu) {
        QueryMenu(ops, fd, query, control);
    }
    if (control.kind != ControlInfo::Kind::Button && (query.flags & V4L2_CTRL_FLAG_WRITE_ONLY) == 0) {
        v4l2_control current{};
        current.id = query.id;
        if (ops.Ioctl(fd, VIDIOC_G_CTRL, &current) == 0) {
            control.value = current.value;
        }
    }
    return control;
}

} // namespace

std::vector<PixelFormatChoice> QueryV4l2PixelFormats(V4l2DeviceOps& ops, int fd)
{
    std::vector<PixelFormatChoice> formats;
    for (uint32_t index = 0; index < kMaxEntries; ++index) {
        v4l2_fmtdesc description{};
        description.index = index;
        description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (ops.Ioctl(fd, VIDIOC_ENUM_FMT, &description) != 0) {
            break;
        }
        formats.push_back({description.pixelformat, FixedText(description.description, sizeof description.description),
                           QuerySizes(ops, fd, description.pixelformat)});
    }
    return formats;
}

std::vector<FrameInterval> QueryV4l2FrameIntervals(V4l2DeviceOps& ops, int fd, uint32_t fourcc, FrameSize size)
{
    std::vector<FrameInterval> intervals;
    for (uint32_t index = 0; index < kMaxEntries; ++index) {
        v4l2_frmivalenum entry{};
        entry.index = index;
        entry.pixel_format = fourcc;
        entry.width = size.width;
        entry.height = size.height;
        if (ops.Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &entry) != 0) {
            break;
        }
        if (entry.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            intervals.push_back({entry.discrete.numerator, entry.discrete.denominator});
            continue;
        }
        intervals = ExpandIntervals(entry.stepwise);
        break;
    }
    std::erase_if(intervals,
                  [](const FrameInterval& interval) { return interval.numerator == 0 || interval.denominator == 0; });
    std::stable_sort(intervals.begin(), intervals.end(), Shorter);
    intervals.erase(
        std::unique(intervals.begin(), intervals.end(),
                    [](const FrameInterval& a, const FrameInterval& b) { return !Shorter(a, b) && !Shorter(b, a); }),
        intervals.end());
    return intervals;
}

std::vector<ControlInfo> QueryV4l2Controls(V4l2DeviceOps& ops, int fd)
{
    std::vector<ControlInfo> controls;
    uint32_t next = V4L2_CTRL_FLAG_NEXT_CTRL;
    for (uint32_t count = 0; count < 4 * kMaxEntries; ++count) {
        v4l2_queryctrl query{};
        query.id = next;
        if (ops.Ioctl(fd, VIDIOC_QUERYCTRL, &query) != 0) {
            break;
        }
        next = query.id | V4L2_CTRL_FLAG_NEXT_CTRL;
        if (Adjustable(query)) {
            controls.push_back(MakeControl(ops, fd, query));
        }
    }
    return controls;
}

} // namespace brightowl
