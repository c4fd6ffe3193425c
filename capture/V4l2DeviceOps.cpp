#include "capture/V4l2DeviceOps.h"

#include <fcntl.h>
#include <libv4l-plugin.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

namespace brightowl {

int V4l2DeviceOps::Ioctl(int fd, unsigned long request, void* argument)
{
    // A signal arriving while the driver waits (a dequeue, a slow USB control transfer) interrupts
    // the call without any harm; it is simply made again. Bounded so that a device that never
    // stops reporting EINTR cannot hang the caller.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int result = IoctlOnce(fd, request, argument);
        if (result != -1 || errno != EINTR) {
            return result;
        }
    }
    return -1;
}

namespace {

class KernelOps final : public V4l2DeviceOps
{
public:
    int Open(const std::string& path, int flags) override { return ::open(path.c_str(), flags | O_CLOEXEC); }
    int Close(int fd) override { return ::close(fd); }
    void* Mmap(size_t length, int protection, int flags, int fd, off_t offset) override
    {
        return ::mmap(nullptr, length, protection, flags, fd, offset);
    }
    int Munmap(void* address, size_t length) override { return ::munmap(address, length); }
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override { return ::poll(fds, count, timeoutMs); }

protected:
    int IoctlOnce(int fd, unsigned long request, void* argument) override { return ::ioctl(fd, request, argument); }
};

int TableIoctl(void* priv, int fd, unsigned long request, void* argument)
{
    return static_cast<V4l2DeviceOps*>(priv)->Ioctl(fd, request, argument);
}

ssize_t TableRead(void*, int, void*, size_t)
{
    // The converter only ever sees memory-mapped frames handed to it.
    errno = EINVAL;
    return -1;
}

ssize_t TableWrite(void*, int, const void*, size_t)
{
    errno = EINVAL;
    return -1;
}

const libv4l_dev_ops kTable = {
    .init = nullptr,
    .close = nullptr,
    .ioctl = TableIoctl,
    .read = TableRead,
    .write = TableWrite,
    .reserved1 = nullptr,
    .reserved2 = nullptr,
    .reserved3 = nullptr,
    .reserved4 = nullptr,
    .reserved5 = nullptr,
    .reserved6 = nullptr,
    .reserved7 = nullptr,
};

} // namespace

V4l2DeviceOps& KernelDeviceOps()
{
    static KernelOps ops;
    return ops;
}

const libv4l_dev_ops* V4lConvertDeviceTable()
{
    return &kTable;
}

} // namespace brightowl
