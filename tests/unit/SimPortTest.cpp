// The simulated port: which ports open, and when the instrument's bytes arrive, in virtual time.
#include <gtest/gtest.h>

#include "SimTestHelpers.h"

using namespace simtest;

namespace {

// Records every byte the receive handler reads, with its arrival time.
class SimPortTest : public SimRigTest {
protected:
    void SetUp() override
    {
        port.SetReceiveHandler([this] {
            ++events;
            for (std::uint8_t b = 0; port.ReadByte(b);) {
                got.push_back(b);
                at.push_back(host.Now());
            }
        });
    }

    Bytes got;
    std::vector<double> at;
    int events = 0;
};

}  // namespace

TEST(SimByteTime, BitsOfTheLineSettings)
{
    EXPECT_DOUBLE_EQ(SimByteTime("115200,N,8,1"), 10.0 / 115200);
    EXPECT_DOUBLE_EQ(SimByteTime("115200,E,8,1"), 11.0 / 115200);
    EXPECT_DOUBLE_EQ(SimByteTime("57600,E,8,1"), 11.0 / 57600);
    EXPECT_DOUBLE_EQ(SimByteTime("9600,N,7,2"), 10.0 / 9600);
    EXPECT_DOUBLE_EQ(SimByteTime("57600"), 10.0 / 57600);
    EXPECT_EQ(SimByteTime(""), 0.0);
    EXPECT_EQ(SimByteTime("fast,N,8,1"), 0.0);
    EXPECT_EQ(SimByteTime("-5,N,8,1"), 0.0);
}

// Missing and busy ports: SimCommandTest.MissingAndBusyPorts.
TEST_F(SimPortTest, OpenTwiceOrWriteWhileClosed)
{
    ASSERT_TRUE(port.Open().ok());
    const PortOpenResult again = port.Open();
    EXPECT_EQ(again.kind, PortOpenResult::Kind::Failed);
    EXPECT_EQ(again.errorNumber, SimPort::kBusyErrorNumber);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.Write(BuildFrame({'I'})));  // nothing reaches the instrument
    EXPECT_TRUE(sim.Requests().empty());
    EXPECT_TRUE(port.Writes().empty());
    EXPECT_EQ(port.Opens(), 1);
}

TEST_F(SimPortTest, AnswerArrivesAfterLatencyInFewEvents)
{
    ASSERT_TRUE(port.Open().ok());
    const Bytes request = BuildFrame(FlashRead(0x1000));
    ASSERT_TRUE(port.Write(request));
    EXPECT_EQ(sim.Requests().size(), 1u);
    EXPECT_TRUE(got.empty());  // nothing before the clock moves

    host.RunUntil(10.0);
    EXPECT_EQ(got, AnswerOf(FlashRead(0x1000)));
    ASSERT_EQ(got.size(), 1031u);
    EXPECT_NEAR(at.front(), SimPort::kDefaultLatencyS + sim.AnswerDelay(), kEps);
    EXPECT_NEAR(at.back(), at.front(), kEps);
    EXPECT_EQ(events, 5);  // 1031 bytes in chunks of 256
    EXPECT_EQ(port.PendingDeliveries(), 0u);
}

TEST_F(SimPortTest, ClosingDropsWhatIsOnItsWay)
{
    ASSERT_TRUE(port.Open().ok());
    sim.AddFault(SimFaultRule::Any(SimFault::Slow).Delay(1.0).Times(1));
    ASSERT_TRUE(port.Write(BuildFrame({'I'})));
    host.RunUntil(0.5);
    EXPECT_EQ(port.PendingDeliveries(), 1u);
    port.Close();
    EXPECT_EQ(port.PendingDeliveries(), 0u);
    ASSERT_TRUE(port.Open().ok());
    host.RunUntil(5.0);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(events, 0);

    // Bytes delivered but not read are gone after a reopen too.
    port.SetReceiveHandler({});
    ASSERT_TRUE(port.Write(BuildFrame({'r'})));
    host.RunUntil(6.0);
    EXPECT_EQ(port.BytesWaiting(), 7u);
    port.Close();
    ASSERT_TRUE(port.Open().ok());
    EXPECT_EQ(port.BytesWaiting(), 0u);
}

TEST_F(SimPortTest, PacedBytesTakeTheirLineTime)
{
    sim.SetAnswerDelay(0.0);
    port.SetPacing(true);
    ASSERT_TRUE(port.Open().ok());
    const double bt = 10.0 / 115200;
    ASSERT_TRUE(port.Write(BuildFrame({'I'})));
    host.RunUntil(1.0);
    ASSERT_EQ(got.size(), 36u);
    EXPECT_EQ(events, 36);
    // The 6-byte request has to arrive first, then every answer byte takes its 10 bits.
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(at[i], (6.0 + static_cast<double>(i) + 1.0) * bt, kEps) << i;

    // Even parity adds a bit each way; answers queue behind each other on the line.
    got.clear();
    at.clear();
    port.Close();
    port.SetLineSettings("115200,E,8,1");
    ASSERT_TRUE(port.Open().ok());
    const double start = host.Now();
    const double pt = 11.0 / 115200;
    const Bytes one = BuildFrame({'r'});
    Bytes two = one;
    two.insert(two.end(), one.begin(), one.end());
    ASSERT_TRUE(port.Write(two));
    host.RunUntil(start + 1.0);
    ASSERT_EQ(got.size(), 14u);
    EXPECT_NEAR(at[0] - start, 7.0 * pt, kEps);   // first request ends at 6, its ACK at 7
    EXPECT_NEAR(at[6] - start, 13.0 * pt, kEps);  // first answer done
    EXPECT_NEAR(at[7] - start, 14.0 * pt, kEps);  // second answer waits for the line
    EXPECT_NEAR(at[13] - start, 20.0 * pt, kEps);
    EXPECT_EQ(sim.Commits(), 2);
}

TEST_F(SimPortTest, InjectedBytesAndAnswerOrder)
{
    ASSERT_TRUE(port.Open().ok());
    port.Inject(0.25, {0x11, 0x22});
    // An answer due earlier than bytes already on the line still comes after them.
    ASSERT_TRUE(port.Write(BuildFrame({'r'})));
    host.RunUntil(1.0);
    Bytes expected{0x11, 0x22};
    const Bytes answer = Status('0');
    expected.insert(expected.end(), answer.begin(), answer.end());
    ASSERT_EQ(got, expected);
    EXPECT_NEAR(at[0], 0.25, kEps);
    EXPECT_NEAR(at[8], 0.25, kEps);
}
