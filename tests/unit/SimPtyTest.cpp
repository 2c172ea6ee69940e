// The simulator on a real pseudo-terminal, opened the way any serial program opens a port. One
// client after another, with bytes of every value, is proven by the end-to-end tests.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <tuple>
#include <vector>
#include <termios.h>
#include <unistd.h>

#include "sim/PtyServer.h"
#include "support/SimTestHelpers.h"

using namespace simtest;

namespace {

namespace fs = std::filesystem;

bool Send(int fd, const Bytes& payload)
{
    const Bytes frame = BuildFrame(payload);
    return write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
}

// Reads from `fd` until it has `count` bytes or `timeoutS` has passed, running the server
// meanwhile on this thread.
Bytes ReadFor(int fd, std::size_t count, double timeoutS, PtyServer* server)
{
    Bytes got;
    std::string error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        EXPECT_TRUE(server->RunFor(0.02, error)) << error;
        std::uint8_t buffer[512];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
            got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

// A temporary folder with a link path in it and a server on that link with one client; whatever a
// test leaves is cleaned up.
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

    std::string dir;
    std::string link;
    SimInstrument sim;
    std::unique_ptr<PtyServer> server;
    int fd = -1;
};

}  // namespace

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

// A stale link is taken over and removed with the server; any other file is left alone.
TEST_F(SimPty, RefusesAnyOtherFileAtTheLinkPathAndNoPath)
{
    fs::create_symlink("/nonexistent/tty", link);
    ASSERT_NO_FATAL_FAILURE(Serve());
    EXPECT_EQ(fs::read_symlink(link).string(), server->SlaveName());
    Disconnect();
    server.reset();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

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

// The line log: each read and write, in order, with the time it happened and its bytes; a paced
// answer leaves in the slices the adapter would hand over.
TEST_F(SimPty, LineLogHoldsEveryReadAndWriteInOrder)
{
    PtyServerOptions options{"", true, 9600, 0.002};
    options.logPath = dir + "/line.log";
    ASSERT_NO_FATAL_FAILURE(Serve(options));
    ASSERT_TRUE(Send(fd, {'I'}));
    ASSERT_EQ(ReadFor(fd, 36, 2.0, server.get()).size(), 36u);
    server.reset();  // closes the log

    std::ifstream in(options.logPath);
    std::vector<std::tuple<double, std::string, std::string>> lines;
    double at = 0.0;
    std::string direction, hex;
    while (in >> at >> direction >> hex)
        lines.emplace_back(at, direction, hex);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::get<1>(lines[0]), "rx");
    EXPECT_EQ(std::get<2>(lines[0]), BytesToHex(BuildFrame({'I'})));
    std::string sent;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(std::get<1>(lines[i]), "tx") << i;
        EXPECT_GE(std::get<0>(lines[i]), std::get<0>(lines[i - 1])) << i;
        sent += std::get<2>(lines[i]);
    }
    EXPECT_EQ(sent.size(), 72u);
    EXPECT_EQ(sent.substr(0, 4), "0601");
    // 36 bytes at 9600 baud take 37.5 ms, in 2 ms slices of a byte or two each.
    EXPECT_GT(lines.size(), 10u);
    EXPECT_GT(std::get<0>(lines.back()) - std::get<0>(lines[0]), 0.030);
}
