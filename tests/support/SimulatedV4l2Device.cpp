#include "tests/support/SimulatedV4l2Device.h"

#include <sys/mman.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace brightowl::test {

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kOffsetStep = 1u << 24;
constexpr uint32_t kMaxBuffers = 8;

void CopyText(uint8_t* target, size_t size, const std::string& text)
{
    std::memset(target, 0, size);
    std::memcpy(target, text.data(), std::min(text.size(), size - 1));
}

uint8_t Clamp(double value)
{
    return static_cast<uint8_t>(std::clamp(value + 0.5, 0.0, 255.0));
}

// BT.601 studio range, as UVC cameras send YUYV.
void ToYuv(SimulatedV4l2Device::Rgb c, double& y, double& u, double& v)
{
    y = 16 + (65.481 * c.r + 128.553 * c.g + 24.966 * c.b) / 255;
    u = 128 + (-37.797 * c.r - 74.203 * c.g + 112.0 * c.b) / 255;
    v = 128 + (112.0 * c.r - 93.786 * c.g - 18.214 * c.b) / 255;
}

std::vector<uint8_t> RgbPicture(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> rgb(size_t{width} * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const auto c = SimulatedV4l2Device::KnownColour(x, y, width, height);
            uint8_t* pixel = &rgb[(size_t{y} * width + x) * 3];
            pixel[0] = c.r;
            pixel[1] = c.g;
            pixel[2] = c.b;
        }
    }
    return rgb;
}

std::vector<uint8_t> YuyvPicture(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> yuyv(size_t{width} * height * 2);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x + 1 < width; x += 2) {
            double y0, u0, v0, y1, u1, v1;
            ToYuv(SimulatedV4l2Device::KnownColour(x, y, width, height), y0, u0, v0);
            ToYuv(SimulatedV4l2Device::KnownColour(x + 1, y, width, height), y1, u1, v1);
            uint8_t* pair = &yuyv[(size_t{y} * width + x) * 2];
            pair[0] = Clamp(y0);
            pair[1] = Clamp((u0 + u1) / 2);
            pair[2] = Clamp(y1);
            pair[3] = Clamp((v0 + v1) / 2);
        }
    }
    return yuyv;
}

std::vector<uint8_t> JpegPicture(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> rgb = RgbPicture(width, height);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(handle, rgb.data(), static_cast<int>(width), 0, static_cast<int>(height), TJPF_RGB,
                                   &jpeg, &size, TJSAMP_422, 90, 0);
    std::vector<uint8_t> bytes;
    if (result == 0) {
        bytes.assign(jpeg, jpeg + size);
    }
    tjFree(jpeg);
    tjDestroy(handle);
    return bytes;
}

v4l2_queryctrl Query(uint32_t id, uint32_t type, const char* name, int32_t minimum, int32_t maximum, int32_t step,
                     int32_t defaultValue, uint32_t flags = 0)
{
    v4l2_queryctrl query{};
    query.id = id;
    query.type = type;
    CopyText(query.name, sizeof query.name, name);
    query.minimum = minimum;
    query.maximum = maximum;
    query.step = step;
    query.default_value = defaultValue;
    query.flags = flags;
    return query;
}

} // namespace

struct SimulatedV4l2Device::Control
{
    v4l2_queryctrl query{};
    std::vector<std::string> menu;
    int32_t value = 0;
    int presses = 0;
};

struct SimulatedV4l2Device::Node
{
    struct Buffer
    {
        std::vector<uint8_t> data;
        bool queued = false;
        bool mapped = false;
    };

    SimulatedNode config;
    std::vector<Control> controls;
    v4l2_pix_format pix{};
    v4l2_fract perFrame{1, 30};
    std::vector<uint8_t> picture;
    std::vector<Buffer> buffers;
    std::deque<uint32_t> queue;
    int owner = -1; // the descriptor that holds the buffers
    bool streaming = false;
    bool gone = false;
    uint64_t frames = 0;
    uint32_t streamOns = 0;
    Clock::time_point nextFrame;

    bool AnyMapped() const
    {
        return std::any_of(buffers.begin(), buffers.end(), [](const Buffer& b) { return b.mapped; });
    }
    Control* FindControl(uint32_t id)
    {
        auto found =
            std::find_if(controls.begin(), controls.end(), [id](const Control& c) { return c.query.id == id; });
        return found == controls.end() ? nullptr : &*found;
    }
    const SimulatedFormat* FindFormat(uint32_t fourcc) const
    {
        auto found = std::find_if(config.formats.begin(), config.formats.end(),
                                  [fourcc](const SimulatedFormat& f) { return f.fourcc == fourcc; });
        return found == config.formats.end() ? nullptr : &*found;
    }
};

SimulatedV4l2Device::SimulatedV4l2Device() = default;
SimulatedV4l2Device::~SimulatedV4l2Device() = default;

SimulatedNode SimulatedV4l2Device::Camera(const std::string& name, const std::string& card)
{
    SimulatedNode node;
    node.name = name;
    node.card = card;
    node.formats = {
        {V4L2_PIX_FMT_YUYV, "YUYV 4:2:2", {{640, 480}, {1280, 720}}, std::nullopt, {{1, 30}, {1, 15}}},
        {V4L2_PIX_FMT_MJPEG, "Motion-JPEG", {{320, 240}, {640, 480}, {1280, 720}}, std::nullopt, {{1, 30}, {1, 15}}},
    };
    return node;
}

SimulatedNode SimulatedV4l2Device::MetadataNode(const std::string& name, const std::string& card)
{
    SimulatedNode node;
    node.name = name;
    node.card = card;
    node.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
    node.deviceCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    return node;
}

SimulatedV4l2Device::Rgb SimulatedV4l2Device::KnownColour(uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    if (!bottom) {
        return right ? Rgb{0, 255, 0} : Rgb{255, 0, 0};
    }
    return right ? Rgb{255, 255, 255} : Rgb{0, 0, 255};
}

void SimulatedV4l2Device::AddNode(SimulatedNode config)
{
    auto node = std::make_unique<Node>();
    node->config = std::move(config);
    if ((node->config.deviceCaps & V4L2_CAP_VIDEO_CAPTURE) != 0) {
        node->controls = {
            {Query(V4L2_CID_USER_CLASS, V4L2_CTRL_TYPE_CTRL_CLASS, "User Controls", 0, 0, 0, 0,
                   V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY),
             {},
             0,
             0},
            {Query(V4L2_CID_BRIGHTNESS, V4L2_CTRL_TYPE_INTEGER, "Brightness", 0, 255, 1, 128), {}, 128, 0},
            {Query(V4L2_CID_HUE, V4L2_CTRL_TYPE_INTEGER, "Hue", -180, 180, 1, 0, V4L2_CTRL_FLAG_DISABLED), {}, 0, 0},
            {Query(V4L2_CID_AUTO_WHITE_BALANCE, V4L2_CTRL_TYPE_BOOLEAN, "White Balance, Automatic", 0, 1, 1, 1),
             {},
             1,
             0},
            {Query(V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CTRL_TYPE_MENU, "Power Line Frequency", 0, 2, 1, 1),
             {"Disabled", "50 Hz", "60 Hz"},
             1,
             0},
            {Query(V4L2_CID_PAN_RESET, V4L2_CTRL_TYPE_BUTTON, "Pan, Reset", 0, 0, 0, 0), {}, 0, 0},
            {Query(V4L2_CID_FOCUS_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, "Focus (absolute)", 0, 250, 5, 0), {}, 0, 0},
            {Query(V4L2_CID_FOCUS_AUTO, V4L2_CTRL_TYPE_BOOLEAN, "Focus, Automatic Continuous", 0, 1, 1, 0), {}, 0, 0},
        };
    }
    if (!node->config.formats.empty()) {
        const SimulatedFormat& first = node->config.formats.front();
        node->pix.pixelformat = first.fourcc;
        node->pix.width = first.sizes.empty() ? first.range->max_width : first.sizes.front().width;
        node->pix.height = first.sizes.empty() ? first.range->max_height : first.sizes.front().height;
        Fit(*node, node->pix);
        Fill(*node);
    }
    std::lock_guard lock(mutex_);
    nodes_.push_back(std::move(node));
}

void SimulatedV4l2Device::SetFrameGap(std::chrono::microseconds gap)
{
    std::lock_guard lock(mutex_);
    frameGap_ = gap;
}

void SimulatedV4l2Device::FailNextIoctls(int count, int error)
{
    std::lock_guard lock(mutex_);
    failCount_ = count;
    failError_ = error;
}

void SimulatedV4l2Device::Unplug(const std::string& name)
{
    std::lock_guard lock(mutex_);
    Named(name).gone = true;
}

SimulatedV4l2Device::Node& SimulatedV4l2Device::Named(const std::string& name) const
{
    for (const auto& node : nodes_) {
        if (node->config.name == name) {
            return *node;
        }
    }
    throw std::invalid_argument("no simulated node " + name);
}

SimulatedV4l2Device::Node* SimulatedV4l2Device::NodeOf(int fd) const
{
    auto found = open_.find(fd);
    return found == open_.end() ? nullptr : found->second;
}

void SimulatedV4l2Device::Fit(const Node& node, v4l2_pix_format& pix) const
{
    const SimulatedFormat* format = node.FindFormat(pix.pixelformat);
    if (format == nullptr) {
        format = &node.config.formats.front();
    }
    pix.pixelformat = format->fourcc;
    if (format->range) {
        const v4l2_frmsize_stepwise& r = *format->range;
        auto fit = [](uint32_t value, uint32_t lo, uint32_t hi, uint32_t step) {
            value = std::clamp(value, lo, hi);
            return step > 1 ? lo + (value - lo) / step * step : value;
        };
        pix.width = fit(pix.width, r.min_width, r.max_width, r.step_width);
        pix.height = fit(pix.height, r.min_height, r.max_height, r.step_height);
    } else {
        auto distance = [&pix](const FrameSize& s) {
            return std::abs(static_cast<int64_t>(s.width) - pix.width) +
                   std::abs(static_cast<int64_t>(s.height) - pix.height);
        };
        const FrameSize best =
            *std::min_element(format->sizes.begin(), format->sizes.end(),
                              [&](const FrameSize& a, const FrameSize& b) { return distance(a) < distance(b); });
        pix.width = best.width;
        pix.height = best.height;
    }
    const bool compressed = pix.pixelformat == V4L2_PIX_FMT_MJPEG;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = compressed ? 0 : pix.width * 2;
    pix.sizeimage = pix.width * pix.height * 2;
    pix.colorspace = V4L2_COLORSPACE_SRGB;
}

void SimulatedV4l2Device::Fill(Node& node)
{
    node.picture = node.pix.pixelformat == V4L2_PIX_FMT_MJPEG ? JpegPicture(node.pix.width, node.pix.height)
                                                              : YuyvPicture(node.pix.width, node.pix.height);
}

int SimulatedV4l2Device::Open(const std::string& path, int)
{
    std::lock_guard lock(mutex_);
    const std::string name = std::filesystem::path(path).filename().string();
    for (const auto& node : nodes_) {
        if (node->config.name == name && !node->gone) {
            open_[nextFd_] = node.get();
            return nextFd_++;
        }
    }
    errno = ENOENT;
    return -1;
}

int SimulatedV4l2Device::Close(int fd)
{
    std::lock_guard lock(mutex_);
    Node* node = NodeOf(fd);
    if (node == nullptr) {
        errno = EBADF;
        return -1;
    }
    if (node->owner == fd) {
        node->streaming = false;
        node->queue.clear();
        node->owner = -1;
        if (!node->AnyMapped()) {
            node->buffers.clear(); // mappings keep the buffers alive, as in the kernel
        }
    }
    open_.erase(fd);
    return 0;
}

void* SimulatedV4l2Device::Mmap(size_t length, int, int, int fd, off_t offset)
{
    std::lock_guard lock(mutex_);
    Node* node = NodeOf(fd);
    const auto index = static_cast<size_t>(offset) / kOffsetStep;
    if (node == nullptr || node->gone || node->owner != fd || index >= node->buffers.size() ||
        node->buffers[index].data.size() != length) {
        errno = node != nullptr && node->gone ? ENODEV : EINVAL;
        return MAP_FAILED;
    }
    node->buffers[index].mapped = true;
    return node->buffers[index].data.data();
}

int SimulatedV4l2Device::Munmap(void* address, size_t)
{
    std::lock_guard lock(mutex_);
    for (const auto& node : nodes_) {
        for (auto& buffer : node->buffers) {
            if (buffer.mapped && buffer.data.data() == address) {
                buffer.mapped = false;
                if (node->owner == -1 && !node->AnyMapped()) {
                    node->buffers.clear();
                }
                return 0;
            }
        }
    }
    errno = EINVAL;
    return -1;
}

bool SimulatedV4l2Device::FrameReady(const Node& node) const
{
    return node.streaming && !node.queue.empty() && Clock::now() >= node.nextFrame;
}

int SimulatedV4l2Device::Poll(pollfd* fds, nfds_t count, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int ready = 0;
        Clock::time_point wake = deadline;
        {
            std::lock_guard lock(mutex_);
            for (nfds_t i = 0; i < count; ++i) {
                const Node* node = NodeOf(fds[i].fd);
                short events = 0;
                if (node == nullptr) {
                    events = POLLNVAL;
                } else if (node->gone) {
                    events = POLLERR | POLLHUP;
                } else if (!node->streaming) {
                    events = POLLERR;
                } else if (FrameReady(*node) || node->config.eagerPoll) {
                    events = POLLIN | POLLRDNORM;
                } else if (!node->queue.empty()) {
                    wake = std::min(wake, node->nextFrame);
                }
                fds[i].revents = events;
                ready += events != 0 ? 1 : 0;
            }
        }
        const auto now = Clock::now();
        if (ready > 0 || now >= deadline) {
            return ready;
        }
        // Short naps so that an unplug or a queued buffer is seen soon.
        std::this_thread::sleep_until(std::min({wake, deadline, now + std::chrono::milliseconds(2)}));
    }
}

int SimulatedV4l2Device::IoctlOnce(int fd, unsigned long request, void* argument)
{
    std::lock_guard lock(mutex_);
    if (failCount_ > 0) {
        --failCount_;
        errno = failError_;
        return -1;
    }
    Node* node = NodeOf(fd);
    if (node == nullptr) {
        errno = EBADF;
        return -1;
    }
    if (node->gone) {
        errno = node->config.unplugError;
        return -1;
    }
    return Dispatch(*node, fd, request, argument);
}

int SimulatedV4l2Device::Dispatch(Node& node, int fd, unsigned long request, void* argument)
{
    const bool video = (node.config.deviceCaps & V4L2_CAP_VIDEO_CAPTURE) != 0;
    auto fail = [](int error) {
        errno = error;
        return -1;
    };
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto& caps = *static_cast<v4l2_capability*>(argument);
        caps = {};
        CopyText(caps.driver, sizeof caps.driver, node.config.driver);
        CopyText(caps.card, sizeof caps.card, node.config.card);
        CopyText(caps.bus_info, sizeof caps.bus_info, "usb-simulated-" + node.config.name);
        caps.version = node.config.version;
        caps.capabilities = node.config.capabilities;
        caps.device_caps = node.config.deviceCaps;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto& description = *static_cast<v4l2_fmtdesc*>(argument);
        if (!video || description.type != V4L2_BUF_TYPE_VIDEO_CAPTURE ||
            description.index >= node.config.formats.size()) {
            return fail(EINVAL);
        }
        const SimulatedFormat& format = node.config.formats[description.index];
        description.pixelformat = format.fourcc;
        description.flags = format.fourcc == V4L2_PIX_FMT_MJPEG ? V4L2_FMT_FLAG_COMPRESSED : 0;
        CopyText(description.description, sizeof description.description, format.description);
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto& entry = *static_cast<v4l2_frmsizeenum*>(argument);
        const SimulatedFormat* format = node.FindFormat(entry.pixel_format);
        if (format == nullptr) {
            return fail(EINVAL);
        }
        if (format->range) {
            if (entry.index != 0) {
                return fail(EINVAL);
            }
            entry.type = V4L2_FRMSIZE_TYPE_STEPWISE;
            entry.stepwise = *format->range;
            return 0;
        }
        if (entry.index >= format->sizes.size()) {
            return fail(EINVAL);
        }
        entry.type = V4L2_FRMSIZE_TYPE_DISCRETE;
        entry.discrete = {format->sizes[entry.index].width, format->sizes[entry.index].height};
        return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto& entry = *static_cast<v4l2_frmivalenum*>(argument);
        const SimulatedFormat* format = node.FindFormat(entry.pixel_format);
        if (format == nullptr || entry.index >= format->intervals.size()) {
            return fail(EINVAL);
        }
        v4l2_pix_format pix{};
        pix.pixelformat = entry.pixel_format;
        pix.width = entry.width;
        pix.height = entry.height;
        Fit(node, pix);
        if (pix.width != entry.width || pix.height != entry.height) {
            return fail(EINVAL);
        }
        entry.type = V4L2_FRMIVAL_TYPE_DISCRETE;
        entry.discrete = {format->intervals[entry.index].numerator, format->intervals[entry.index].denominator};
        return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT: {
        auto& format = *static_cast<v4l2_format*>(argument);
        if (!video || format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) {
            return fail(EINVAL);
        }
        if (request == VIDIOC_G_FMT) {
            format.fmt.pix = node.pix;
            return 0;
        }
        Fit(node, format.fmt.pix);
        if (request == VIDIOC_S_FMT) {
            if (!node.buffers.empty()) {
                return fail(EBUSY);
            }
            node.pix = format.fmt.pix;
            Fill(node);
        }
        return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
        auto& parameters = *static_cast<v4l2_streamparm*>(argument);
        if (!video || parameters.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) {
            return fail(EINVAL);
        }
        if (request == VIDIOC_S_PARM) {
            const v4l2_fract wanted = parameters.parm.capture.timeperframe;
            for (const FrameInterval& offered : node.FindFormat(node.pix.pixelformat)->intervals) {
                if (uint64_t{offered.numerator} * wanted.denominator ==
                    uint64_t{wanted.numerator} * offered.denominator) {
                    node.perFrame = {offered.numerator, offered.denominator};
                }
            }
        }
        parameters.parm.capture = {};
        parameters.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        parameters.parm.capture.timeperframe = node.perFrame;
        return 0;
    }
    case VIDIOC_QUERYCTRL:
    case VIDIOC_QUERYMENU:
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL:
        return ControlIoctl(node, request, argument);
    case VIDIOC_REQBUFS:
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
    case VIDIOC_DQBUF:
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
        return video ? BufferIoctl(node, fd, request, argument) : fail(EINVAL);
    default:
        return fail(ENOTTY);
    }
}

int SimulatedV4l2Device::ControlIoctl(Node& node, unsigned long request, void* argument)
{
    auto fail = [](int error) {
        errno = error;
        return -1;
    };
    if (request == VIDIOC_QUERYCTRL) {
        auto& query = *static_cast<v4l2_queryctrl*>(argument);
        const Control* found = nullptr;
        if ((query.id & V4L2_CTRL_FLAG_NEXT_CTRL) != 0) {
            const uint32_t after = query.id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
            for (const Control& control : node.controls) {
                if (control.query.id > after && (found == nullptr || control.query.id < found->query.id)) {
                    found = &control;
                }
            }
        } else {
            found = node.FindControl(query.id);
        }
        if (found == nullptr) {
            return fail(EINVAL);
        }
        query = found->query;
        return 0;
    }
    if (request == VIDIOC_QUERYMENU) {
        auto& item = *static_cast<v4l2_querymenu*>(argument);
        Control* control = node.FindControl(item.id);
        if (control == nullptr || item.index >= control->menu.size()) {
            return fail(EINVAL);
        }
        CopyText(item.name, sizeof item.name, control->menu[item.index]);
        return 0;
    }
    auto& value = *static_cast<v4l2_control*>(argument);
    Control* control = node.FindControl(value.id);
    if (control == nullptr || control->query.type == V4L2_CTRL_TYPE_CTRL_CLASS ||
        (control->query.flags & V4L2_CTRL_FLAG_DISABLED) != 0) {
        return fail(EINVAL);
    }
    if (request == VIDIOC_G_CTRL) {
        if (control->query.type == V4L2_CTRL_TYPE_BUTTON) {
            return fail(EACCES);
        }
        value.value = control->value;
        return 0;
    }
    // As UVC cameras do: the manual focus is refused while the automatic one is on.
    const Control* autoFocus = node.FindControl(V4L2_CID_FOCUS_AUTO);
    if (value.id == V4L2_CID_FOCUS_ABSOLUTE && autoFocus != nullptr && autoFocus->value != 0) {
        return fail(EACCES);
    }
    switch (control->query.type) {
    case V4L2_CTRL_TYPE_BUTTON:
        ++control->presses;
        return 0;
    case V4L2_CTRL_TYPE_MENU:
        if (value.value < control->query.minimum || value.value > control->query.maximum) {
            return fail(EINVAL);
        }
        control->value = value.value;
        return 0;
    default:
        // Like the kernel's control framework: integers are clamped to the range and rounded to the step.
        const int32_t step = std::max(control->query.step, 1);
        const int32_t clamped = std::clamp(value.value, control->query.minimum, control->query.maximum);
        control->value = control->query.minimum + (clamped - control->query.minimum + step / 2) / step * step;
        return 0;
    }
}

int SimulatedV4l2Device::BufferIoctl(Node& node, int fd, unsigned long request, void* argument)
{
    auto fail = [](int error) {
        errno = error;
        return -1;
    };
    const bool owner = node.owner == fd;
    if (request == VIDIOC_REQBUFS) {
        auto& buffers = *static_cast<v4l2_requestbuffers*>(argument);
        if (buffers.memory != V4L2_MEMORY_MMAP || (node.owner != -1 && !owner) || node.streaming || node.AnyMapped()) {
            return fail(buffers.memory != V4L2_MEMORY_MMAP ? EINVAL : EBUSY);
        }
        node.buffers.clear();
        node.queue.clear();
        node.owner = -1;
        if (buffers.count == 0) {
            return 0;
        }
        buffers.count = std::clamp(buffers.count, node.config.minBuffers, kMaxBuffers);
        node.buffers.resize(buffers.count);
        for (auto& buffer : node.buffers) {
            buffer.data.assign(node.pix.sizeimage, 0);
            std::copy(node.picture.begin(), node.picture.end(), buffer.data.begin());
        }
        node.owner = fd;
        return 0;
    }
    if (!owner) {
        return fail(EBUSY);
    }
    if (request == VIDIOC_STREAMON || request == VIDIOC_STREAMOFF) {
        if (request == VIDIOC_STREAMOFF) {
            node.streaming = false;
            node.queue.clear();
            for (auto& buffer : node.buffers) {
                buffer.queued = false;
            }
            return 0;
        }
        if (node.config.streamOnError != 0) {
            return fail(node.config.streamOnError);
        }
        node.streaming = true;
        ++node.streamOns;
        node.nextFrame = Clock::now() + frameGap_;
        return 0;
    }
    auto& buffer = *static_cast<v4l2_buffer*>(argument);
    if (request == VIDIOC_DQBUF) {
        return Dequeue(node, buffer);
    }
    if (buffer.index >= node.buffers.size()) {
        return fail(EINVAL);
    }
    auto& held = node.buffers[buffer.index];
    if (request == VIDIOC_QBUF) {
        if (held.queued) {
            return fail(EINVAL);
        }
        held.queued = true;
        node.queue.push_back(buffer.index);
        return 0;
    }
    buffer.length = static_cast<uint32_t>(held.data.size());
    buffer.m.offset = buffer.index * kOffsetStep;
    buffer.flags = (held.queued ? V4L2_BUF_FLAG_QUEUED : 0u) | (held.mapped ? V4L2_BUF_FLAG_MAPPED : 0u);
    return 0;
}

int SimulatedV4l2Device::Dequeue(Node& node, v4l2_buffer& buffer)
{
    if (!node.streaming) {
        errno = EINVAL;
        return -1;
    }
    if (!FrameReady(node)) {
        errno = EAGAIN;
        return -1;
    }
    const uint32_t index = node.queue.front();
    node.queue.pop_front();
    auto& held = node.buffers[index];
    held.queued = false;
    const auto now = Clock::now();
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
    buffer.index = index;
    buffer.bytesused = static_cast<uint32_t>(node.picture.size());
    buffer.length = static_cast<uint32_t>(held.data.size());
    buffer.flags = V4L2_BUF_FLAG_DONE | V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
    buffer.timestamp.tv_sec = sinceEpoch / 1000000;
    buffer.timestamp.tv_usec = sinceEpoch % 1000000;
    buffer.sequence = static_cast<uint32_t>(node.frames);
    buffer.field = V4L2_FIELD_NONE;
    if (node.config.tamper) {
        node.config.tamper(buffer);
    }
    ++node.frames;
    node.nextFrame = now + frameGap_;
    if (node.config.unplugAfterFrames >= 0 && node.frames >= static_cast<uint64_t>(node.config.unplugAfterFrames)) {
        node.gone = true;
    }
    return 0;
}

int SimulatedV4l2Device::OpenDescriptors() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(open_.size());
}

size_t SimulatedV4l2Device::MappedBuffers() const
{
    std::lock_guard lock(mutex_);
    size_t mapped = 0;
    for (const auto& node : nodes_) {
        mapped += static_cast<size_t>(
            std::count_if(node->buffers.begin(), node->buffers.end(), [](const Node::Buffer& b) { return b.mapped; }));
    }
    return mapped;
}

uint64_t SimulatedV4l2Device::FramesDelivered(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    return Named(name).frames;
}

uint32_t SimulatedV4l2Device::StreamOnCount(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    return Named(name).streamOns;
}

bool SimulatedV4l2Device::Streaming(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    return Named(name).streaming;
}

v4l2_pix_format SimulatedV4l2Device::Format(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    return Named(name).pix;
}

v4l2_fract SimulatedV4l2Device::TimePerFrame(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    return Named(name).perFrame;
}

int32_t SimulatedV4l2Device::ControlValue(const std::string& name, uint32_t id) const
{
    std::lock_guard lock(mutex_);
    const Control* control = Named(name).FindControl(id);
    return control != nullptr ? control->value : -1;
}

int SimulatedV4l2Device::ButtonPresses(const std::string& name, uint32_t id) const
{
    std::lock_guard lock(mutex_);
    const Control* control = Named(name).FindControl(id);
    return control != nullptr ? control->presses : -1;
}

std::vector<uint8_t> SimulatedV4l2Device::Picture(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    return Named(name).picture;
}

} // namespace brightowl::test
