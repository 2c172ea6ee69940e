// The simulator on a real pseudo-terminal, opened the way any serial program opens a port.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <termios.h>
#include <unistd.h>

#include "sim/PtyServer.h"
#include "support/SimTestHelpers.h"
#include "support/TempFolder.h"

using namespace simtest;
namespace fs = std::filesystem;

namespace {

// A server on a link path in a folder of its own, and one client on it in raw mode.
class SimPty : public ::testing::Test {
protected:
    void TearDown() override { Disconnect(); }
    void Serve(PtyServerOptions options = {})
    {
        options.linkPath = link;
        server = std::make_unique<PtyServer>(sim, options);
        std::string error;
        ASSERT_TRUE(server->Start(error)) << error;
        Connect();
    }
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
    bool Send(const Bytes& payload)
    {
        const Bytes frame = BuildFrame(payload);
        return write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
    }
    // Reads until `count` bytes came or `timeoutS` passed, running the server meanwhile.
    Bytes ReadFor(std::size_t count, double timeoutS)
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

    TempFolder folder;
    std::string link = folder.Path("ttySIM");
    SimInstrument sim;
    std::unique_ptr<PtyServer> server;
    int fd = -1;
};

}  // namespace

// A client that leaves before its answer is read: the rest of that answer never reaches the next.
TEST_F(SimPty, AnswerLeftUnreadDoesNotReachTheNextClient)
{
    ASSERT_NO_FATAL_FAILURE(Serve({"", true, 2400}));  // paced: 36 bytes take 150 ms
    ASSERT_TRUE(Send({'I'}));
    const Bytes first = ReadFor(1, 2.0);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], ctl::ACK);
    std::string error;
    Disconnect();
    ASSERT_TRUE(server->RunFor(0.05, error));
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_TRUE(Send({'r'}));
    EXPECT_EQ(ReadFor(7, 2.0), Status('0'));
    EXPECT_TRUE(ReadFor(1, 0.3).empty());
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

    const std::string file = folder.Path("file");
    std::ofstream(file) << "x";
    std::string error;
    EXPECT_FALSE(PtyServer(sim, {file}).Start(error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_regular_file(file));
    PtyServer noPath(sim, {""});
    EXPECT_FALSE(noPath.Start(error) || noPath.Run(error));
}
