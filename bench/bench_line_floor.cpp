// The least time beyond the line that any client can see per bootloader exchange, and where it
// goes: the machine's own latencies, then a plain blocking client (one write, one read an
// exchange) against a paced simulator.
//   bench_line_floor [--rounds N] [--port PATH --baud B]
// Parts measured:
//   timer      how late a sleep of 200 us or 25 ms ends (the simulator sleeps until each answer is
//              due: 0.3 ms after a command, 25 ms after a block at 115200 baud)
//   pty        a byte written on one side of a pseudo-terminal until a reader blocked on the
//              other side has it (each exchange crosses the terminal twice)
//   exchange   with --port: Write Memory into the part's RAM (no programming time), 3 exchanges a
//              block, each timed from its write to its acknowledge in hand, less its bytes on the
//              line at 11 bits a byte
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void SleepS(double seconds)
{
    timespec ts{static_cast<time_t>(seconds), static_cast<long>((seconds - static_cast<double>(static_cast<time_t>(seconds))) * 1e9)};
    ppoll(nullptr, 0, &ts, nullptr);
}

void Report(const char* what, std::vector<double> samples)
{
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    double sum = 0.0;
    for (const double s : samples)
        sum += s;
    const auto at = [&](double q) { return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))]; };
    std::printf("%-26s median %7.3f ms  mean %7.3f ms  90%% %7.3f ms  99%% %7.3f ms  (%zu)\n", what, at(0.5) * 1e3,
                sum / static_cast<double>(samples.size()) * 1e3, at(0.9) * 1e3, at(0.99) * 1e3, samples.size());
}

bool MakeRaw(int fd, speed_t speed)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (speed != 0) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool ReadExactly(int fd, std::uint8_t* into, std::size_t count)
{
    std::size_t got = 0;
    while (got < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0)
            return false;
        const ssize_t n = read(fd, into + got, count - got);
        if (n <= 0)
            return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// With `finalS`, the sleep is two: all but its last `finalS`, then that, as the simulator does.
std::vector<double> TimerLateness(int rounds, double sleepS, double finalS = 0.0)
{
    std::vector<double> late;
    for (int i = 0; i < rounds; ++i) {
        const double start = Now();
        SleepS(sleepS - finalS);
        if (finalS > 0.0)
            SleepS(std::max(0.0, start + sleepS - Now()));
        late.push_back(Now() - start - sleepS);
    }
    return late;
}

// `size` bytes from `from` until a reader blocked on `to` has them all; the writer waits 2 ms
// before each write so the reader is asleep, as a client is between exchanges.
std::vector<double> OneWay(int from, int to, int rounds, std::size_t size)
{
    std::vector<double> sentAt(static_cast<std::size_t>(rounds));
    std::thread writer([&] {
        for (int i = 0; i < rounds; ++i) {
            SleepS(0.002);
            sentAt[static_cast<std::size_t>(i)] = Now();
            const std::vector<char> bytes(size, 0x55);
            if (write(from, bytes.data(), size) != static_cast<ssize_t>(size))
                return;
        }
    });
    std::vector<double> latency;
    for (int i = 0; i < rounds; ++i) {
        std::vector<std::uint8_t> bytes(size);
        if (!ReadExactly(to, bytes.data(), size))
            break;
        latency.push_back(Now() - sentAt[static_cast<std::size_t>(i)]);
    }
    writer.join();
    return latency;
}

bool PtyLatency(int rounds)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || !MakeRaw(master, 0) || grantpt(master) != 0 || unlockpt(master) != 0)
        return false;
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0 || !MakeRaw(slave, B115200))
        return false;
    Report("pty, 1 byte to the slave", OneWay(master, slave, rounds, 1));
    Report("pty, 1 byte to the master", OneWay(slave, master, rounds, 1));
    Report("pty, 258 bytes to the master", OneWay(slave, master, rounds, 258));
    close(slave);
    close(master);
    return true;
}

// Sends `bytes` and reads the one-byte acknowledge; the time beyond the line, or -1 on failure.
double Exchange(int fd, const std::vector<std::uint8_t>& bytes, double byteTime)
{
    const double start = Now();
    if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        return -1.0;
    std::uint8_t reply = 0;
    if (!ReadExactly(fd, &reply, 1) || reply != 0x79)
        return -1.0;
    return Now() - start - static_cast<double>(bytes.size() + 1) * byteTime;
}

speed_t SpeedOf(int baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return 0;
    }
}

bool ExchangeLatency(const std::string& path, int baud, int blocks)
{
    const speed_t speed = SpeedOf(baud);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0 || speed == 0 || !MakeRaw(fd, speed)) {
        std::fprintf(stderr, "cannot open %s at %d baud\n", path.c_str(), baud);
        return false;
    }
    const double byteTime = 11.0 / baud;
    tcflush(fd, TCIOFLUSH);
    if (Exchange(fd, {0x7F}, byteTime) < -0.5) {
        std::fprintf(stderr, "no answer to the sync byte\n");
        return false;
    }
    std::vector<double> command, address, data, all;
    for (int i = 0; i < blocks; ++i) {
        const std::uint32_t at = 0x20000000U + static_cast<std::uint32_t>(i % 256) * 256U;
        std::vector<std::uint8_t> addressBytes{static_cast<std::uint8_t>(at >> 24), static_cast<std::uint8_t>(at >> 16),
                                               static_cast<std::uint8_t>(at >> 8), static_cast<std::uint8_t>(at)};
        addressBytes.push_back(addressBytes[0] ^ addressBytes[1] ^ addressBytes[2] ^ addressBytes[3]);
        std::vector<std::uint8_t> block{0xFF};
        std::uint8_t check = 0xFF;
        for (int b = 0; b < 256; ++b) {
            block.push_back(static_cast<std::uint8_t>(b * 7 + i));
            check ^= block.back();
        }
        block.push_back(check);
        const double c = Exchange(fd, {0x31, 0xCE}, byteTime);
        const double a = c < -0.5 ? -1.0 : Exchange(fd, addressBytes, byteTime);
        const double d = a < -0.5 ? -1.0 : Exchange(fd, block, byteTime);
        if (d < -0.5) {
            std::fprintf(stderr, "block %d: exchange failed\n", i);
            return false;
        }
        command.push_back(c);
        address.push_back(a);
        data.push_back(d);
        all.insert(all.end(), {c, a, d});
    }
    close(fd);
    Report("exchange: command", command);
    Report("exchange: address", address);
    Report("exchange: data block", data);
    Report("exchange: all", all);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = 2000;
    std::string port;
    int baud = 115200;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc)
            rounds = std::atoi(argv[++i]);
        else if (arg == "--port" && i + 1 < argc)
            port = argv[++i];
        else if (arg == "--baud" && i + 1 < argc)
            baud = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: bench_line_floor [--rounds N] [--port PATH --baud B]\n");
            return 2;
        }
    }
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    Report("timer, 200 us sleep late", TimerLateness(rounds, 200e-6));
    const int longSleeps = std::clamp(rounds / 20, 1, 100);
    Report("timer, 25 ms sleep late", TimerLateness(longSleeps, 0.025));
    Report("  the same, last 0.3 ms apart", TimerLateness(longSleeps, 0.025, 0.0003));
    if (!PtyLatency(rounds))
        std::fprintf(stderr, "no pseudo-terminal\n");
    if (!port.empty() && !ExchangeLatency(port, baud, rounds / 3))
        return 1;
    return 0;
}
