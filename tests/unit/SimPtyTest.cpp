// The simulator on a real pseudo-terminal, opened the way any serial program opens a port.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "link/Frames.h"
#include "sim/PtyServer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        char name[] = "/tmp/simpty.XXXXXX";
        if (mkdtemp(name))
            path_ = name;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path_.empty())
            fs::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

int OpenClient(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fd;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void ReadAvailable(int fd, Bytes& got)
{
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        got.insert(got.end(), buffer, buffer + n);
    }
}

// Lets the server run until the client holds `count` bytes; about two seconds at most.
Bytes Exchange(PtyServer& server, int fd, std::size_t count)
{
    Bytes got;
    std::string error;
    for (int round = 0; round < 100 && got.size() < count; ++round) {
        EXPECT_TRUE(server.RunFor(0.02, error)) << error;
        ReadAvailable(fd, got);
    }
    return got;
}

// Reads until `count` bytes or `timeoutS`, sleeping in poll (the server runs elsewhere).
Bytes ReadFor(int fd, std::size_t count, double timeoutS)
{
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        ReadAvailable(fd, got);
    }
    return got;
}

bool Send(int fd, const Bytes& payload)
{
    const Bytes frame = BuildFrame(payload);
    return write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
}

Bytes AnswerOf(const Bytes& payload, SimIdentity identity = {})
{
    SimInstrument twin(std::move(identity));
    Bytes all;
    for (const auto& r : twin.Receive(BuildFrame(payload)))
        all.insert(all.end(), r.bytes.begin(), r.bytes.end());
    return all;
}

std::size_t Unread(int fd)
{
    int n = 0;
    ioctl(fd, FIONREAD, &n);
    return static_cast<std::size_t>(n);
}

}  // namespace

TEST(SimPty, ServesOneClientAfterAnother)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string link = dir.path() + "/ttySIM";
    SimInstrument sim;
    {
        PtyServer server(sim, {link});
        std::string error;
        ASSERT_TRUE(server.Start(error)) << error;
        ASSERT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(link).string(), server.SlaveName());

        int fd = OpenClient(link);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        ASSERT_TRUE(Send(fd, {'I'}));
        EXPECT_EQ(Exchange(server, fd, 36), AnswerOf({'I'}));
        close(fd);

        // The next client finds the instrument still there; control characters pass untouched.
        fd = OpenClient(link);
        ASSERT_GE(fd, 0);
        const Bytes values{'0', 0x7F, 0x0D, 0x11, 0x13, 0x03, 0x1C, 0x0A, 0xFF};
        ASSERT_TRUE(Send(fd, values));
        EXPECT_EQ(Exchange(server, fd, 7), AnswerOf(values));
        ASSERT_NE(sim.WifiRegister(0x7F), nullptr);
        EXPECT_EQ(*sim.WifiRegister(0x7F), (Bytes{0x0D, 0x11, 0x13, 0x03, 0x1C, 0x0A, 0xFF}));
        close(fd);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));  // removed with the server
    EXPECT_EQ(sim.Requests().size(), 2u);
}

TEST(SimPty, AnswerLeftUnreadDoesNotReachTheNextClient)
{
    TempDir dir;
    const std::string link = dir.path() + "/ttySIM";
    SimInstrument sim;
    PtyServer server(sim, {link, true, 2400});  // 36 bytes take 150 ms
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;

    int fd = OpenClient(link);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(Send(fd, {'I'}));
    const Bytes first = Exchange(server, fd, 1);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], ctl::ACK);
    close(fd);
    ASSERT_TRUE(server.RunFor(0.05, error));

    fd = OpenClient(link);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(Send(fd, {'r'}));
    EXPECT_EQ(Exchange(server, fd, 7), AnswerOf({'r'}));
    ASSERT_TRUE(server.RunFor(0.3, error));
    EXPECT_EQ(Unread(fd), 0u);
    close(fd);
}

TEST(SimPty, UnfinishedFrameIsDroppedAfterAQuietGap)
{
    TempDir dir;
    const std::string link = dir.path() + "/ttySIM";
    SimInstrument sim;
    PtyServer server(sim, {link});
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    const int fd = OpenClient(link);
    ASSERT_GE(fd, 0);

    // A client gave up half-way through a frame; after the quiet gap the next frame stands alone.
    const Bytes frame = BuildFrame({'I'});
    ASSERT_EQ(write(fd, frame.data(), 3), 3);
    for (int round = 0; round < 20 && (round == 0 || sim.ReceivingFrame()); ++round)
        ASSERT_TRUE(server.RunFor(0.1, error)) << error;
    EXPECT_FALSE(sim.ReceivingFrame());
    EXPECT_EQ(sim.DiscardedBytes(), 3u);
    ASSERT_TRUE(Send(fd, {'I'}));
    EXPECT_EQ(Exchange(server, fd, 36), AnswerOf({'I'}));
    EXPECT_EQ(sim.BadFrames(), 0);
    close(fd);
}

TEST(SimPty, LinkPathRules)
{
    TempDir dir;
    SimInstrument sim;
    std::string error;

    // A stale link is replaced.
    const std::string link = dir.path() + "/stale";
    fs::create_symlink("/nonexistent/tty", link);
    {
        PtyServer server(sim, {link});
        ASSERT_TRUE(server.Start(error)) << error;
        EXPECT_EQ(fs::read_symlink(link).string(), server.SlaveName());
    }

    // Any other file is left alone.
    const std::string file = dir.path() + "/file";
    { std::FILE* f = std::fopen(file.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
    PtyServer refused(sim, {file});
    EXPECT_FALSE(refused.Start(error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_regular_file(file));

    PtyServer noPath(sim, {""});
    EXPECT_FALSE(noPath.Start(error));
    EXPECT_FALSE(noPath.Run(error));
}

TEST(SimPty, RunServesUntilStopped)
{
    TempDir dir;
    const std::string link = dir.path() + "/ttySIM";
    SimInstrument sim;
    PtyServer server(sim, {link});
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    const int fd = OpenClient(link);
    ASSERT_GE(fd, 0);

    bool ran = false;
    std::string runError;
    std::thread serving([&] { ran = server.Run(runError); });
    const bool sent = Send(fd, {'I'});
    const Bytes got = ReadFor(fd, 36, 5.0);
    server.Stop();
    serving.join();
    close(fd);

    EXPECT_TRUE(sent);
    EXPECT_EQ(got, AnswerOf({'I'}));
    EXPECT_TRUE(ran) << runError;
}

// ------------------------------------------------------------------ the program

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child Spawn(const std::vector<std::string>& args)
{
    Child child;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    child.out = pipeFds[0];
    return child;
}

// Exit status of the child, waiting at most `timeoutS`; -1 when it did not end (it is killed).
int WaitExit(pid_t pid, double timeoutS)
{
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(timeoutS * 1000));
        close(pidfd);
        if (ready <= 0)
            kill(pid, SIGKILL);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadLine(int fd, double timeoutS)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    return line;
}

// SERVICETOOL_BIN, else the folder of this test program (the build puts both there).
std::string ProgramPath()
{
    std::string folder;
    if (const char* bin = std::getenv("SERVICETOOL_BIN"))
        folder = bin;
    else
        folder = fs::read_symlink("/proc/self/exe").parent_path().string();
    const std::string path = folder + "/servicetool-sim";
    return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

}  // namespace

TEST(SimPtyProgram, AnswersAsToldAndCleansUpOnSigterm)
{
    const std::string program = ProgramPath();
    if (program.empty())
        GTEST_SKIP() << "servicetool-sim not built (SERVICETOOL_BIN)";
    TempDir dir;
    const std::string link = dir.path() + "/ttySIM";
    Child child = Spawn({program, "--link", link, "--model", "QSLUM", "--serial", "99999999", "--fault",
                         "busy,cmd=r,times=1"});
    ASSERT_GT(child.pid, 0);
    const std::string line = ReadLine(child.out, 5.0);
    const std::string prefix = "servicetool-sim: " + link + " -> /dev/pts/";
    EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;

    const int fd = OpenClient(link);
    EXPECT_GE(fd, 0);
    if (fd >= 0) {
        EXPECT_TRUE(Send(fd, {'I'}));
        EXPECT_EQ(ReadFor(fd, 36, 5.0), AnswerOf({'I'}, {"QSLUM", "99999999"}));
        EXPECT_TRUE(Send(fd, {'r'}));
        Bytes busy = AnswerOf({'r'});
        busy[3] = '2';
        busy[4] = static_cast<std::uint8_t>(busy[4] - 2);
        EXPECT_EQ(ReadFor(fd, 7, 5.0), busy);
        close(fd);
    }
    kill(child.pid, SIGTERM);
    EXPECT_EQ(WaitExit(child.pid, 5.0), 0);
    close(child.out);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(SimPtyProgram, RefusesBadOptions)
{
    const std::string program = ProgramPath();
    if (program.empty())
        GTEST_SKIP() << "servicetool-sim not built (SERVICETOOL_BIN)";
    TempDir dir;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{program},
          {program, "--link", dir.path() + "/a", "--fault", "explode"},
          {program, "--link", dir.path() + "/a", "--baud", "fast"},
          {program, "--link", dir.path() + "/a", "--bogus"},
          {program, "--link"}}) {
        Child child = Spawn(args);
        ASSERT_GT(child.pid, 0);
        EXPECT_EQ(WaitExit(child.pid, 5.0), 2) << args.back();
        close(child.out);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() + "/a")));
}
