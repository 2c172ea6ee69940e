#include "support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

Pty::Pty()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return;
    termios raw{};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || tcgetattr(master_, &raw) != 0) {
        close(master_);
        master_ = -1;
        return;
    }
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
    slave_ = ptsname(master_);
    char folder[] = "/tmp/servicetool-pty-XXXXXX";
    if (mkdtemp(folder)) {
        folder_ = folder;
        link_ = folder_ + "/ttyA";
        if (symlink(slave_.c_str(), link_.c_str()) != 0)
            link_ = slave_;
    } else {
        link_ = slave_;
    }
}

Pty::~Pty()
{
    if (!folder_.empty()) {
        unlink((folder_ + "/ttyA").c_str());
        rmdir(folder_.c_str());
    }
    if (master_ >= 0)
        close(master_);
}

std::string Pty::ReadMaster(std::size_t count, int timeoutMs)
{
    std::string out;
    while (out.size() < count) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) <= 0 || !(fd.revents & POLLIN))
            break;
        char buffer[4096];
        const ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - out.size()));
        if (n <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

bool Pty::WriteMaster(const std::string& bytes)
{
    return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}
