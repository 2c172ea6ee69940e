// The simulator on a real pseudo-terminal, opened the way any serial program opens a port, and the
// simulator program itself.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "sim/PtyServer.h"
#include "support/SimProgram.h"
#include "SimTestHelpers.h"

extern char** environ;

using namespace simtest;

namespace {

namespace fs = std::filesystem;

bool Send(int fd, const Bytes& payload)
{
    const Bytes frame = BuildFrame(payload);
    return write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
}

// Reads from `fd` until it has `count` bytes or `timeoutS` has passed. With a server, runs it
// meanwhile on this thread; otherwise waits in poll (something else writes).
Bytes ReadFor(int fd, std::size_t count, double timeoutS, PtyServer* server = nullptr)
{
    Bytes got;
    std::string error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        if (server) {
            EXPECT_TRUE(server->RunFor(0.02, error)) << error;
        } else {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 20);
        }
        std::uint8_t buffer[512];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
            got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

// A temporary folder with a link path in it, a server on that link with one client, and child
// processes of the simulator program; whatever a test leaves is cleaned up.
class SimPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/simpty.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        link = dir + "/ttySIM";
    }
    void TearDown() override
    {
        if (child > 0)
            WaitExit(0.0);
        Disconnect();
        server.reset();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    void Serve(PtyServerOptions options = {})
    {
        options.linkPath = link;
        server = std::make_unique<PtyServer>(sim, options);
        std::string error;
        ASSERT_TRUE(server->Start(error)) << error;
        Connect();
    }
    // Opens the link as a client in raw mode, as a serial program does.
    void Connect()
    {
        Disconnect();
        fd = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    void Disconnect()
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }

    // Starts the program with its standard output on a pipe (read end non-blocking).
    void Spawn(const std::vector<std::string>& args)
    {
        int pipeFds[2];
        ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
        fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            child = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        childOut = pipeFds[0];
        ASSERT_GT(child, 0);
    }
    // Exit status of the child, waiting at most `timeoutS`; -1 when it did not end (it is killed).
    int WaitExit(double timeoutS)
    {
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(timeoutS * 1000)) <= 0)
                kill(child, SIGKILL);
            close(pidfd);
        }
        int status = 0;
        const bool reaped = waitpid(child, &status, 0) == child;
        child = -1;
        close(childOut);
        return reaped && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string ProgramPath()
    {
        const std::string path = SimProgram::BinFolder() + "/servicetool-sim";
        return access(path.c_str(), X_OK) == 0 ? path : std::string();
    }

    std::string dir;
    std::string link;
    SimInstrument sim;
    std::unique_ptr<PtyServer> server;
    int fd = -1;
    pid_t child = -1;
    int childOut = -1;
};

using SimPtyProgram = SimPty;

}  // namespace

TEST_F(SimPty, ServesOneClientAfterAnother)
{
    fs::create_symlink("/nonexistent/tty", link);  // a stale link is replaced
    ASSERT_NO_FATAL_FAILURE(Serve());
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link).string(), server->SlaveName());
    ASSERT_TRUE(Send(fd, {'I'}));
    EXPECT_EQ(ReadFor(fd, 36, 2.0, server.get()), AnswerOf({'I'}));

    // The client gives up half-way through a frame; after the quiet gap the next frame stands alone.
    const Bytes frame = BuildFrame({'I'});
    ASSERT_EQ(write(fd, frame.data(), 3), 3);
    std::string error;
    for (int round = 0; round < 20 && (round == 0 || sim.ReceivingFrame()); ++round)
        ASSERT_TRUE(server->RunFor(0.1, error)) << error;
    EXPECT_FALSE(sim.ReceivingFrame());
    EXPECT_EQ(sim.DiscardedBytes(), 3u);
    ASSERT_TRUE(Send(fd, {'I'}));
    EXPECT_EQ(ReadFor(fd, 36, 2.0, server.get()), AnswerOf({'I'}));
    EXPECT_EQ(sim.BadFrames(), 0);

    // The next client finds the instrument still there; control characters pass untouched.
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_TRUE(Send(fd, {'0', 0x7F, 0x0D, 0x11, 0x13, 0x03, 0x1C, 0x0A, 0xFF}));
    EXPECT_EQ(ReadFor(fd, 7, 2.0, server.get()), Status('0'));
    ASSERT_NE(sim.WifiRegister(0x7F), nullptr);
    EXPECT_EQ(*sim.WifiRegister(0x7F), (Bytes{0x0D, 0x11, 0x13, 0x03, 0x1C, 0x0A, 0xFF}));
    server.reset();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));  // removed with the server
    EXPECT_EQ(sim.Requests().size(), 3u);
}

TEST_F(SimPty, AnswerLeftUnreadDoesNotReachTheNextClient)
{
    ASSERT_NO_FATAL_FAILURE(Serve({"", true, 2400}));  // paced: 36 bytes take 150 ms
    ASSERT_TRUE(Send(fd, {'I'}));
    const Bytes first = ReadFor(fd, 1, 2.0, server.get());
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], ctl::ACK);
    Disconnect();
    std::string error;
    ASSERT_TRUE(server->RunFor(0.05, error));

    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_TRUE(Send(fd, {'r'}));
    EXPECT_EQ(ReadFor(fd, 7, 2.0, server.get()), Status('0'));
    EXPECT_TRUE(ReadFor(fd, 1, 0.3, server.get()).empty());
}

TEST_F(SimPty, RefusesAnyOtherFileAtTheLinkPathAndNoPath)
{
    const std::string file = dir + "/file";
    std::ofstream(file) << "x";
    std::string error;
    PtyServer refused(sim, {file});
    EXPECT_FALSE(refused.Start(error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_regular_file(file));

    PtyServer noPath(sim, {""});
    EXPECT_FALSE(noPath.Start(error));
    EXPECT_FALSE(noPath.Run(error));
}

TEST_F(SimPtyProgram, AnswersAsToldAndCleansUpOnSigterm)
{
    const std::string program = ProgramPath();
    if (program.empty())
        GTEST_SKIP() << "servicetool-sim not built (SERVICETOOL_BIN)";
    ASSERT_NO_FATAL_FAILURE(Spawn({program, "--link", link, "--model", "QSLUM", "--serial", "99999999", "--fault",
                                   "busy,cmd=r,times=1"}));
    const std::string prefix = "servicetool-sim: " + link + " -> /dev/pts/";
    const Bytes said = ReadFor(childOut, prefix.size() + 2, 5.0);
    ASSERT_EQ(std::string(said.begin(), said.end()).rfind(prefix, 0), 0u) << std::string(said.begin(), said.end());

    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_TRUE(Send(fd, {'I'}));
    EXPECT_EQ(ReadFor(fd, 36, 5.0), AnswerOf({'I'}, {}, {"QSLUM", "99999999"}));
    EXPECT_TRUE(Send(fd, {'r'}));
    EXPECT_EQ(ReadFor(fd, 7, 5.0), Status('2'));
    kill(child, SIGTERM);
    EXPECT_EQ(WaitExit(5.0), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(SimPtyProgram, RefusesBadOptions)
{
    const std::string program = ProgramPath();
    if (program.empty())
        GTEST_SKIP() << "servicetool-sim not built (SERVICETOOL_BIN)";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{program},
          {program, "--link", link, "--fault", "explode"},
          {program, "--link", link, "--baud", "fast"},
          {program, "--link", link, "--bogus"},
          {program, "--link"}}) {
        ASSERT_NO_FATAL_FAILURE(Spawn(args));
        EXPECT_EQ(WaitExit(5.0), 2) << args.back();
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}
