// The real serial path under the waits of an operation: QSerialPort on a pseudo-terminal and waits
// on Qt's event loop.
#include <gtest/gtest.h>

#include <QTimer>
#include <atomic>
#include <string>
#include <chrono>
#include <thread>
#include <vector>

#include "link/SerialLink.h"
#include "platform/QtHost.h"
#include "platform/QtSerialPort.h"
#include "support/Pty.h"
#include "support/RealPath.h"

namespace {

Bytes Pattern(std::size_t size, std::uint8_t seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11) + seed);
    return bytes;
}

std::size_t FirstDifference(const std::string& got, const Bytes& expected)
{
    const std::size_t common = std::min(got.size(), expected.size());
    for (std::size_t i = 0; i < common; ++i)
        if (static_cast<std::uint8_t>(got[i]) != expected[i])
            return i;
    return common;
}

// A pseudo-terminal, QSerialPort on its far side and the link over it, on Qt's event loop.
struct RealTimePath : ::testing::Test {
    Pty pty;
    RealPath path{pty.link()};
    QtHost& host = path.host;
    SerialLink& link = path.link;
    void SetUp() override { ASSERT_TRUE(pty.ok()); }
};

}  // namespace

// More than the terminal takes at once: what it does not take goes out later from the event loop,
// and bytes written meanwhile queue behind it. Nothing is lost, doubled or reordered.
TEST_F(RealTimePath, WritesBeyondWhatTheTerminalTakesArriveWholeAndInOrder)
{
    ASSERT_EQ(link.InitSeriale(1, "115200"), 0);

    struct Case {
        const char* what;
        std::size_t firstSize;
    };
    // A terminal holds far less than 2 MiB; 300 bytes is a bootloader block, taken at once.
    for (const Case& c : {Case{"beyond the terminal's room", 2u * 1024 * 1024}, Case{"a block", 300}}) {
        SCOPED_TRACE(c.what);
        const Bytes first = Pattern(c.firstSize, 1);
        const Bytes second = Pattern(5, 0x80);
        const Bytes third = Pattern(260, 0x40);
        // Nobody reads the other side yet.
        ASSERT_TRUE(link.WriteRaw(first));
        ASSERT_TRUE(link.WriteRaw(second));
        ASSERT_TRUE(link.WriteRaw(third));

        Bytes expected = first;
        expected.insert(expected.end(), second.begin(), second.end());
        expected.insert(expected.end(), third.begin(), third.end());
        std::string received;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            received = pty.ReadMaster(expected.size(), 5000);
            done = true;
        });
        // The operation's wait runs the event loop, which sends the rest meanwhile.
        link.WaitFor(60.0, [&] { return done.load(); });
        reader.join();

        EXPECT_EQ(received.size(), expected.size());
        EXPECT_EQ(FirstDifference(received, expected), std::min(received.size(), expected.size()));
    }
    link.CloseSeriale();
}

// A wait started by an event delivered during another wait: the inner one runs to its own end
// first, the outer one still ends by its own deadline, and neither ends early.
TEST_F(RealTimePath, NestedWaitsEachEndByTheirOwnDeadline)
{

    struct Case {
        double outerS;
        double innerS;
    };
    for (const Case& c : {Case{0.2, 0.05}, Case{0.05, 0.2}}) {
        SCOPED_TRACE("outer " + std::to_string(c.outerS) + " s, inner " + std::to_string(c.innerS) + " s");
        double innerStart = -1.0;
        double innerEnd = -1.0;
        QObject context;  // no timer outlives the case
        QTimer::singleShot(10, &context, [&] {
            innerStart = host.Now();
            link.Delay(c.innerS);
            innerEnd = host.Now();
        });
        const double start = host.Now();
        EXPECT_FALSE(link.WaitFor(c.outerS, [] { return false; }));
        const double end = host.Now();

        ASSERT_GE(innerStart, 0.0) << "the event was not delivered during the wait";
        ASSERT_GE(innerEnd, 0.0) << "the inner wait did not end inside the outer one";
        EXPECT_GE(innerEnd - innerStart, c.innerS);
        EXPECT_GE(end - start, c.outerS);
        EXPECT_GE(end, innerEnd);
    }
}

// Closing the window during a wait: the wait ends at the next event, and every later wait
// returns at once without waiting for its condition.
TEST_F(RealTimePath, QuitEndsTheWaitInProgressAndEveryLaterOne)
{

    QObject context;  // no timer outlives the test
    QTimer::singleShot(20, &context, [&] { host.RequestQuit(); });
    bool later = false;
    QTimer::singleShot(40, &context, [&] { later = true; });
    EXPECT_FALSE(link.WaitFor(5.0, [&] { return later; }));
    EXPECT_TRUE(host.Quitting());
    EXPECT_FALSE(later) << "the wait went on after the quit";
    EXPECT_FALSE(link.WaitFor(5.0, [&] { return later; }));
    EXPECT_FALSE(later);
}

// What the window leaves for later (redrawing the log after an answer) waits until the line is
// busy: a wait that the answer already ends does not do it, the next request goes first; a wait
// that goes on does it; and a port that closes does it at once, no request following.
TEST_F(RealTimePath, DeferredWorkWaitsForAWaitThatGoesOn)
{
    ASSERT_EQ(link.InitSeriale(1, "115200"), 0);
    int done = 0;

    path.host.Defer([&] { ++done; });
    ASSERT_TRUE(pty.WriteMaster("\x06"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the acknowledge is in before the wait
    EXPECT_TRUE(link.WaitFor(5.0, [&] { return link.Rx.RxAck != 0; }));
    EXPECT_EQ(done, 0) << "the answer in hand: the next request goes first";

    link.Delay(0.1);
    EXPECT_EQ(done, 1) << "done while waiting";

    path.host.Defer([&] { ++done; });
    link.CloseSeriale();
    EXPECT_EQ(done, 2) << "done as the port closes";
}
