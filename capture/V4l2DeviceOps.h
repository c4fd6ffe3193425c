#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

struct libv4l_dev_ops;

namespace brightowl {

// The table of device operations every V4L2 call goes through: the kernel in the program, a
// simulated camera in the tests. Calls follow the kernel's conventions (-1 and errno on failure).
// Implementations must be safe to call from the user-interface and the capture thread at once.
class V4l2DeviceOps
{
public:
    virtual ~V4l2DeviceOps() = default;

    virtual int Open(const std::string& path, int flags) = 0;
    virtual int Close(int fd) = 0;
    // An ioctl, repeated while it is interrupted by a signal (EINTR).
    int Ioctl(int fd, unsigned long request, void* argument);
    virtual void* Mmap(size_t length, int protection, int flags, int fd, off_t offset) = 0;
    virtual int Munmap(void* address, size_t length) = 0;
    virtual int Poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;

protected:
    // One attempt; may fail with EINTR.
    virtual int IoctlOnce(int fd, unsigned long request, void* argument) = 0;
};

// The operations of the running kernel.
V4l2DeviceOps& KernelDeviceOps();

// The same operations as libv4lconvert's device table: pass the V4l2DeviceOps object as its
// private pointer, so the converter asks the same device (real or simulated) as the driver.
const libv4l_dev_ops* V4lConvertDeviceTable();

} // namespace brightowl
