#pragma once

#include "capture/V4l2DeviceOps.h"

#include <utility>

namespace brightowl {

// Owns one open device descriptor of a device-operations table and closes it through that table.
class V4l2Fd
{
public:
    V4l2Fd() = default;
    V4l2Fd(V4l2DeviceOps& ops, int fd) : ops_(&ops), fd_(fd) {}
    ~V4l2Fd() { Reset(); }
    V4l2Fd(V4l2Fd&& other) noexcept : ops_(other.ops_), fd_(std::exchange(other.fd_, -1)) {}
    V4l2Fd& operator=(V4l2Fd&& other) noexcept
    {
        if (this != &other) {
            Reset();
            ops_ = other.ops_;
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    V4l2Fd(const V4l2Fd&) = delete;
    V4l2Fd& operator=(const V4l2Fd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset()
    {
        if (fd_ >= 0) {
            ops_->Close(fd_);
            fd_ = -1;
        }
    }

private:
    V4l2DeviceOps* ops_ = nullptr;
    int fd_ = -1;
};

} // namespace brightowl
