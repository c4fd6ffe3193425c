#include "app/SocketLayer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <netinet/in.h>

namespace brightowl {

bool StartSocketLayer()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace brightowl
