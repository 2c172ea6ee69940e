#include "sim/PtyServer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::size_t kReadChunk = 4096;
// A sleep longer than this, until an answer is due, ends with a short one of kFinalSleepS.
constexpr double kSplitSleepAboveS = 0.002;
constexpr double kFinalSleepS = 0.0003;

double MonotonicNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

bool MakeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string LinkTarget(const std::string& path)
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

PtyServer::PtyServer(SimDevice& instrument, PtyServerOptions options)
    : instrument_(instrument), options_(std::move(options))
{
}

PtyServer::~PtyServer()
{
    CloseAll();
}

void PtyServer::LogBytes(double at, const char* direction, const std::uint8_t* bytes, std::size_t count)
{
    if (!log_)
        return;
    std::fprintf(log_, "%.6f %s ", at, direction);
    for (std::size_t i = 0; i < count; ++i)
        std::fprintf(log_, "%02X", bytes[i]);
    std::fputc('\n', log_);
}

void PtyServer::CloseAll()
{
    if (log_) {
        std::fclose(log_);
        log_ = nullptr;
    }
    if (linkMade_ && LinkTarget(options_.linkPath) == slaveName_)
        unlink(options_.linkPath.c_str());
    linkMade_ = false;
    for (int* fd : {&master_, &slave_, &watch_, &stopRead_, &stopWrite_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

bool PtyServer::Start(std::string& error)
{
    if (options_.linkPath.empty()) {
        error = "no link path";
        return false;
    }
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        error = Errno("posix_openpt");
        return false;
    }
    // Raw before anything else: the line discipline would otherwise eat or rewrite bytes such as
    // 0x7F or CR that arrive before a client has set up the slave.
    if (!MakeRaw(master_) || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = Errno("pseudo-terminal set-up");
        CloseAll();
        return false;
    }
    char name[PATH_MAX];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error = Errno("ptsname");
        CloseAll();
        return false;
    }
    slaveName_ = name;
    slave_ = open(slaveName_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0) {
        error = Errno("open " + slaveName_);
        CloseAll();
        return false;
    }
    int pipeFds[2];
    if (pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = Errno("pipe");
        CloseAll();
        return false;
    }
    stopRead_ = pipeFds[0];
    stopWrite_ = pipeFds[1];
    if (!options_.logPath.empty() && !(log_ = std::fopen(options_.logPath.c_str(), "w"))) {
        error = Errno("open " + options_.logPath);
        CloseAll();
        return false;
    }
    // Without inotify the server still works; it only cannot drop answers nobody will read.
    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && inotify_add_watch(watch_, slaveName_.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        close(watch_);
        watch_ = -1;
    }

    struct stat st {};
    if (lstat(options_.linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = options_.linkPath + " exists and is not a symbolic link";
            CloseAll();
            return false;
        }
        unlink(options_.linkPath.c_str());
    }
    if (symlink(slaveName_.c_str(), options_.linkPath.c_str()) != 0) {
        error = Errno("symlink " + options_.linkPath);
        CloseAll();
        return false;
    }
    linkMade_ = true;
    const double now = MonotonicNow();
    lastStart_ = outFreeAt_ = inFreeAt_ = lastInput_ = now;
    return true;
}

void PtyServer::Stop()
{
    if (stopWrite_ >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(stopWrite_, &byte, 1);
    }
}

double PtyServer::ByteTime() const
{
    const int baud = instrument_.LineBaud() > 0 ? instrument_.LineBaud() : options_.baud;
    return options_.pace && baud > 0 ? instrument_.BitsPerByte() / baud : 0.0;
}

// The rate the client set on its side of the terminal (both sides share one setting).
int PtyServer::HostBaud() const
{
    termios t{};
    if (master_ < 0 || tcgetattr(master_, &t) != 0)
        return 0;
    switch (cfgetospeed(&t)) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
    }
}

bool PtyServer::Run(std::string& error)
{
    return Serve(HUGE_VAL, error);
}

bool PtyServer::RunFor(double seconds, std::string& error)
{
    return Serve(MonotonicNow() + seconds, error);
}

bool PtyServer::Serve(double until, std::string& error)
{
    if (master_ < 0) {
        error = "not started";
        return false;
    }
    for (;;) {
        const double now = MonotonicNow();
        if (!WriteDue(now, error))
            return false;
        if (instrument_.ReceivingFrame() && now - lastInput_ >= kFrameGapS)
            instrument_.ResetReceiver();
        if (now >= until)
            return true;

        double wake = HUGE_VAL;
        bool answerDue = false;
        if (!blocked_ && !outgoing_.empty()) {
            wake = NextDue();
            answerDue = true;
        }
        if (instrument_.ReceivingFrame())
            wake = std::min(wake, lastInput_ + kFrameGapS);
        wake = std::min(wake, until);
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wake != HUGE_VAL) {
            double wait = std::max(0.0, wake - now);
            // A long sleep ends later than asked (the processor has gone idle); the last stretch
            // before an answer is due is slept again on its own, which ends on time.
            if (answerDue && wait > kSplitSleepAboveS)
                wait -= kFinalSleepS;
            timeout.tv_sec = static_cast<time_t>(wait);
            timeout.tv_nsec = static_cast<long>((wait - static_cast<double>(timeout.tv_sec)) * 1e9);
            timeoutPtr = &timeout;
        }

        pollfd fds[3] = {
            {master_, static_cast<short>(POLLIN | (blocked_ ? POLLOUT : 0)), 0},
            {stopRead_, POLLIN, 0},
            {watch_, POLLIN, 0},
        };
        const nfds_t count = watch_ >= 0 ? 3 : 2;
        if (ppoll(fds, count, timeoutPtr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            error = Errno("poll");
            return false;
        }
        if (fds[1].revents != 0) {
            char drain[64];
            while (read(stopRead_, drain, sizeof drain) > 0) {
            }
            return true;
        }
        if (count == 3 && (fds[2].revents & POLLIN))
            DrainWatch();
        if (fds[0].revents & POLLOUT)
            blocked_ = false;
        if (fds[0].revents & POLLIN) {
            if (!ReadInput(MonotonicNow(), error))
                return false;
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Cannot happen while we hold the slave open; never loop on it.
            error = "pseudo-terminal hung up";
            return false;
        }
    }
}

bool PtyServer::ReadInput(double now, std::string& error)
{
    std::uint8_t buffer[kReadChunk];
    for (;;) {
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n > 0) {
            LogBytes(now, "rx", buffer, static_cast<std::size_t>(n));
            OnInput(Bytes(buffer, buffer + n), now);
            // A short read took everything waiting: no second read just to hear there is no more.
            if (static_cast<std::size_t>(n) < sizeof buffer)
                return true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO))
            return true;
        if (n == 0)
            return true;
        error = Errno("read");
        return false;
    }
}

void PtyServer::OnInput(const Bytes& bytes, double now)
{
    const double byteTime = ByteTime();
    const double start = std::max(now, inFreeAt_);
    inFreeAt_ = start + static_cast<double>(bytes.size()) * byteTime;
    lastInput_ = now;
    instrument_.SetLine(start, HostBaud());
    for (auto& reply : instrument_.Receive(bytes))
        Queue(start + static_cast<double>(reply.inputEnd) * byteTime + reply.delayS, std::move(reply.bytes));
}

void PtyServer::Queue(double at, Bytes bytes)
{
    if (bytes.empty())
        return;
    Outgoing item;
    item.start = std::max({at, lastStart_, outFreeAt_});
    lastStart_ = item.start;
    outFreeAt_ = item.start + static_cast<double>(bytes.size()) * ByteTime();
    item.bytes = std::move(bytes);
    outgoing_.push_back(std::move(item));
}

double PtyServer::NextDue() const
{
    const Outgoing& item = outgoing_.front();
    const double byteTime = ByteTime();
    if (byteTime <= 0.0)
        return item.start;
    const auto slice = static_cast<std::size_t>(std::max(1.0, std::floor(options_.sliceS / byteTime)));
    const std::size_t upTo = std::min(item.bytes.size(), item.sent + slice);
    return item.start + static_cast<double>(upTo) * byteTime;
}

bool PtyServer::WriteDue(double now, std::string& error)
{
    const double byteTime = ByteTime();
    while (!blocked_ && !outgoing_.empty()) {
        Outgoing& item = outgoing_.front();
        std::size_t due = 0;
        if (byteTime > 0.0) {
            const double complete = std::floor((now - item.start) / byteTime + 1e-9);
            due = complete <= 0.0 ? 0 : std::min(item.bytes.size(), static_cast<std::size_t>(complete));
        } else if (now >= item.start) {
            due = item.bytes.size();
        }
        if (due <= item.sent)
            return true;
        const ssize_t n = write(master_, item.bytes.data() + item.sent, due - item.sent);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                blocked_ = true;  // nobody reads the slave: sleep until it takes bytes again
                return true;
            }
            if (errno == EIO) {
                outgoing_.clear();
                return true;
            }
            error = Errno("write");
            return false;
        }
        LogBytes(MonotonicNow(), "tx", item.bytes.data() + item.sent, static_cast<std::size_t>(n));
        item.sent += static_cast<std::size_t>(n);
        if (item.sent >= item.bytes.size())
            outgoing_.pop_front();
    }
    return true;
}

void PtyServer::DrainWatch()
{
    alignas(inotify_event) char buffer[4096];
    bool closed = false;
    for (;;) {
        const ssize_t n = read(watch_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            if (event.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE))
                closed = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
    if (closed)
        ClientClosed();
}

void PtyServer::ClientClosed()
{
    // Whoever reads the byte log once the client is gone finds it whole.
    if (log_)
        std::fflush(log_);
    // Answers nobody will read must not greet the next client.
    outgoing_.clear();
    blocked_ = false;
    tcflush(slave_, TCIFLUSH);
    instrument_.ResetReceiver();
    const double now = MonotonicNow();
    lastStart_ = outFreeAt_ = inFreeAt_ = now;
    if (onClientClosed_)
        onClientClosed_();
}
