// The simulated STM32 bootloader byte by byte, and the boards around it: which part answers, the
// pass-through, the link speed and the board that comes back after Go.
#include <gtest/gtest.h>

#include "link/Frames.h"
#include "sim/SimBoards.h"
#include "sim/SimBootloader.h"

namespace {

Bytes Join(const std::vector<SimReply>& replies)
{
    Bytes all;
    for (const auto& r : replies)
        all.insert(all.end(), r.bytes.begin(), r.bytes.end());
    return all;
}

Bytes Cat(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::string Hex(const std::vector<SimReply>& replies)
{
    return BytesToHex(Join(replies));
}

Bytes Address(std::uint32_t a)
{
    Bytes b{static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16), static_cast<std::uint8_t>(a >> 8),
            static_cast<std::uint8_t>(a)};
    b.push_back(b[0] ^ b[1] ^ b[2] ^ b[3]);
    return b;
}

Bytes Block(const Bytes& data)
{
    Bytes b{static_cast<std::uint8_t>(data.size() - 1)};
    b.insert(b.end(), data.begin(), data.end());
    std::uint8_t x = 0;
    for (const auto v : b)
        x ^= v;
    b.push_back(x);
    return b;
}

struct Synced {
    SimBootloader boot;
    Synced() { boot.Receive({0x7F}); }
    std::string Ask(const Bytes& bytes) { return Hex(boot.Receive(bytes)); }
    // Each step in turn; their answers joined by "|".
    std::string Steps(const std::vector<Bytes>& steps)
    {
        std::string all;
        for (const Bytes& step : steps)
            all += (all.empty() ? "" : "|") + Ask(step);
        return all;
    }
    // Write Memory, step by step.
    std::string Write(std::uint32_t address, const Bytes& data)
    {
        return Steps({{0x31, 0xCE}, Address(address), Block(data)});
    }
    void MassErase() { Steps({{0x44, 0xBB}, {0xFF, 0xFF, 0x00}}); }
};

}  // namespace

TEST(SimBootloader, SyncAndTheInformationCommands)
{
    SimBootloader boot;
    EXPECT_EQ(Hex(boot.Receive({0x01, 0x05, 'I'})), "") << "not synchronised: nothing answered";
    EXPECT_EQ(Hex(boot.Receive({0x7F})), "79");
    EXPECT_EQ(Hex(boot.Receive({0x7F})), "1F") << "a second sync";
    EXPECT_EQ(Hex(boot.Receive({0x00, 0xFF})), "790B31" "0001021121314463738292" "79");
    EXPECT_EQ(Hex(boot.Receive({0x01, 0xFE})), "7931000079");
    EXPECT_EQ(Hex(boot.Receive({0x02, 0xFD})), "7901041379");
    EXPECT_EQ(Hex(boot.Receive({0x31, 0x31})), "1F") << "complement wrong";
    EXPECT_EQ(Hex(boot.Receive({0x63, 0x9C})), "1F") << "protection is not served";
    EXPECT_EQ(Hex(boot.Receive({0x55, 0xAA})), "1F");
    EXPECT_EQ(Hex(boot.Receive({0x02, 0xFD})), "7901041379") << "still synchronised after refusals";
}

TEST(SimBootloader, WritesOnlyIntoErasedFlashWithinItsMemory)
{
    Synced s;
    const Bytes data(256, 0x5A);
    EXPECT_EQ(s.Write(0x08000000, data), "79|79|1F") << "not erased";
    EXPECT_EQ(s.boot.ReadFlash(0, 1)[0], SimBootloader::OldImagePattern(0)) << "nothing written";
    EXPECT_EQ(s.boot.Writes(), 0);

    s.MassErase();
    EXPECT_EQ(s.boot.MassErases(), 1);
    EXPECT_TRUE(s.boot.FlashErased(0, kSimBootFlashSize));
    EXPECT_EQ(s.Write(0x08000000, data), "79|79|79");
    EXPECT_EQ(s.boot.ReadFlash(0, 256), data);
    EXPECT_EQ(s.Write(0x08000000, data), "79|79|1F") << "the same place twice";

    Bytes badCheck = Block(data);
    badCheck.back() ^= 1;
    EXPECT_EQ(s.Steps({{0x31, 0xCE}, Address(0x08000100), badCheck}), "79|79|1F");
    EXPECT_TRUE(s.boot.FlashErased(0x100, 256));

    Bytes badAddress = Address(0x08000100);
    badAddress.back() ^= 1;
    EXPECT_EQ(s.Steps({{0x31, 0xCE}, badAddress}), "79|1F");

    // Last block of flash on both sides of its end; RAM takes writes without an erase.
    EXPECT_EQ(s.Write(0x08000000 + kSimBootFlashSize - 256, data), "79|79|79");
    EXPECT_EQ(s.Steps({{0x31, 0xCE}, Address(0x08000000 + kSimBootFlashSize)}), "79|1F");
    EXPECT_EQ(s.Write(0x08000000 + kSimBootFlashSize - 128, data), "79|79|1F") << "runs past the end";
    EXPECT_EQ(s.Steps({{0x31, 0xCE}, Address(0x07FFFF00)}), "79|1F");
    EXPECT_EQ(s.Write(0x20000000, data), "79|79|79");
    EXPECT_EQ(s.Write(0x20000000 + kSimBootRamSize - 256, data), "79|79|79");
    EXPECT_EQ(s.Steps({{0x31, 0xCE}, Address(0x20000000 + kSimBootRamSize)}), "79|1F");
}

TEST(SimBootloader, ReadMemoryAndItsLimits)
{
    Synced s;
    const std::string head = BytesToHex(s.boot.ReadFlash(0x10, 4));
    EXPECT_EQ(s.Steps({{0x11, 0xEE}, Address(0x08000010), {0x03, 0xFC}}), "79|79|79" + head);
    EXPECT_EQ(s.Steps({{0x11, 0xEE}, Address(0x08000010), {0x03, 0xFD}}), "79|79|1F") << "count check";
    EXPECT_EQ(s.Steps({{0x11, 0xEE}, Address(0x08100000)}), "79|1F");
    const Bytes all = Join(s.boot.Receive({0x11, 0xEE}));
    EXPECT_EQ(BytesToHex(all), "79");
    EXPECT_EQ(Join(s.boot.Receive(Address(0x080FFF00))), Bytes{0x79});
    EXPECT_EQ(Join(s.boot.Receive({0xFF, 0x00})).size(), 257u);
}

TEST(SimBootloader, EraseByMassAndBySectorList)
{
    Synced s;
    SimBootTimes times;
    times.massEraseS = 0.7;
    times.sectorEraseS = 0.1;
    times.programS = 0.003;
    s.boot.SetTimes(times);
    EXPECT_EQ(s.Ask({0x44, 0xBB}), "79");
    const auto mass = s.boot.Receive({0xFF, 0xFF, 0x00});
    ASSERT_EQ(mass.size(), 1u);
    EXPECT_EQ(BytesToHex(mass[0].bytes), "79");
    EXPECT_DOUBLE_EQ(mass[0].delayS, 0.7) << "acknowledged once the erase is over";

    // Sectors 1 and 5: 16 KiB at 0x4000 and 128 KiB at 0x20000.
    EXPECT_EQ(s.Write(0x08004000, Bytes(256, 0x11)), "79|79|79");
    EXPECT_EQ(s.Write(0x08020000, Bytes(256, 0x22)), "79|79|79");
    EXPECT_EQ(s.Write(0x08000000, Bytes(256, 0x33)), "79|79|79");
    EXPECT_EQ(s.Ask({0x44, 0xBB}), "79");
    const auto list = s.boot.Receive({0x00, 0x01, 0x00, 0x01, 0x00, 0x05, 0x01 ^ 0x01 ^ 0x05});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(BytesToHex(list[0].bytes), "79");
    EXPECT_DOUBLE_EQ(list[0].delayS, 0.2);
    EXPECT_TRUE(s.boot.FlashErased(0x4000, 256));
    EXPECT_TRUE(s.boot.FlashErased(0x20000, 256));
    EXPECT_EQ(s.boot.ReadFlash(0, 1)[0], 0x33) << "sector 0 kept";

    EXPECT_EQ(s.Steps({{0x44, 0xBB}, {0x00, 0x00, 0x00, 0x0C, 0x0C}}), "79|1F") << "sector 12 does not exist";
    EXPECT_EQ(s.Steps({{0x44, 0xBB}, {0x00, 0x00, 0x00, 0x0B, 0x0C}}), "79|1F") << "checksum";
    EXPECT_EQ(s.Steps({{0x44, 0xBB}, {0x00, 0x00, 0x00, 0x0B, 0x0B}}), "79|79") << "sector 11";
    EXPECT_EQ(s.Steps({{0x44, 0xBB}, {0xFF, 0xFE, 0x01}}), "79|1F") << "bank erase";
    EXPECT_EQ(s.Steps({{0x44, 0xBB}, {0xFF, 0xFF, 0x01}}), "79|1F") << "mass erase checksum";
    EXPECT_EQ(s.boot.SectorStart(11) + s.boot.SectorSize(11), kSimBootFlashSize);
    EXPECT_DOUBLE_EQ(s.boot.Stats().eraseS, 0.7 + 0.2 + 0.1);
}

TEST(SimBootloader, GoLeavesTheBootloader)
{
    Synced s;
    EXPECT_EQ(s.Steps({{0x21, 0xDE}, Address(0x09000000)}), "79|1F");
    EXPECT_FALSE(s.boot.Running());
    EXPECT_EQ(s.Steps({{0x21, 0xDE}, Address(0x08000000)}), "79|79");
    EXPECT_TRUE(s.boot.Running());
    EXPECT_EQ(s.boot.GoAddress(), 0x08000000u);
    EXPECT_EQ(s.Ask({0x7F}), "") << "running its program";
    s.boot.Restart();
    EXPECT_EQ(s.Ask({0x7F}), "79");
}

TEST(SimBootloader, FaultsStrikeTheChosenStepOnly)
{
    Synced s;
    s.MassErase();
    const int id = s.boot.AddFault(SimBootloader::NackWriteData(0x08000100, 1));
    EXPECT_EQ(s.Write(0x08000000, Bytes(256, 1)), "79|79|79");
    EXPECT_EQ(s.Write(0x08000100, Bytes(256, 2)), "79|79|1F");
    EXPECT_TRUE(s.boot.FlashErased(0x100, 256)) << "a refused block writes nothing";
    EXPECT_EQ(s.Write(0x08000100, Bytes(256, 2)), "79|79|79") << "struck once";
    EXPECT_EQ(s.boot.FaultStrikes(id), 1);

    SimBootFault silent;
    silent.silent = true;
    silent.command = 0x44;
    silent.step = SimBootStep::Command;
    s.boot.AddFault(silent);
    EXPECT_EQ(s.Ask({0x44, 0xBB}), "");
    EXPECT_EQ(s.Ask({0x02, 0xFD}), "7901041379") << "ready for the next command";
}

// ------------------------------------------------------------------------------------ boards

namespace {

struct Boards {
    SimInstrument instrument;
    SimBoards boards{instrument};
    std::string Ask(const Bytes& bytes, double at = 0.0, int baud = 0)
    {
        boards.SetLine(at, baud);
        return Hex(boards.Receive(bytes));
    }
    std::string Frame(const Bytes& payload, double at = 0.0, int baud = 0) { return Ask(BuildFrame(payload), at, baud); }
};

const std::string kStatusOk = "06" + BytesToHex(BuildShortFrame({'0'}));

}  // namespace

TEST(SimBoards, TheCpuBoardAnswersAsItsStateSays)
{
    Boards b;
    EXPECT_EQ(b.Ask({0x7F}), "") << "firmware: a sync byte is no frame";
    EXPECT_EQ(b.Frame({'I'}).substr(0, 2), "06");
    EXPECT_DOUBLE_EQ(b.boards.BitsPerByte(), 10.0);

    b.boards.StartCpuInBootloader();
    EXPECT_EQ(b.Frame({'I'}), "") << "bootloader: an instrument frame is not answered";
    EXPECT_EQ(b.Ask({0x7F}), "79");
    EXPECT_DOUBLE_EQ(b.boards.BitsPerByte(), 11.0);
}

TEST(SimBoards, AfterGoTheInstrumentAnswersOnlyOnceSwitchedOn)
{
    for (const double delay : {2.0, -1.0}) {
        SCOPED_TRACE(delay);
        Boards b;
        b.boards.SetPowerOnDelay(delay);
        b.boards.StartCpuInBootloader();
        EXPECT_EQ(b.Ask({0x7F}, 1.0), "79");
        EXPECT_EQ(b.Ask({0x21, 0xDE}, 1.0), "79");
        EXPECT_EQ(b.Ask(Address(0x08000000), 1.0), "79");
        EXPECT_EQ(b.boards.Cpu(), SimBoards::CpuState::Off);
        EXPECT_EQ(b.Frame({'I'}, 2.9), "");
        const std::string later = b.Frame({'I'}, 3.0);
        if (delay > 0) {
            EXPECT_EQ(later.substr(0, 4), "0601");
            EXPECT_EQ(b.boards.Cpu(), SimBoards::CpuState::Firmware);
        } else {
            EXPECT_EQ(b.Frame({'I'}, 1.0e6), "") << "never comes back";
        }
    }
}

TEST(SimBoards, PassThroughToTheMisBootloader)
{
    Boards b;
    EXPECT_EQ(b.Frame({0xD1, 0x7F}), "15") << "closed until 0xD0";
    EXPECT_EQ(b.Frame({0xD0}), kStatusOk);
    EXPECT_TRUE(b.boards.PassThroughOpen());
    EXPECT_EQ(b.Frame({0xD1, 0x7F}), "0679");
    EXPECT_EQ(b.Frame({0xD1, 0x44, 0xBB}), "0679");
    b.boards.SetBootTimes({9.0, 0.02, 0.001});
    b.boards.MisBoot().SetTimes({9.0, 0.02, 0.001});
    b.boards.SetLine(0.0, 0);
    const auto erase = b.boards.Receive(BuildFrame({0xD1, 0xFF, 0xFF, 0x00}));
    ASSERT_EQ(erase.size(), 2u);
    EXPECT_EQ(BytesToHex(erase[0].bytes), "06");
    EXPECT_EQ(BytesToHex(erase[1].bytes), "79");
    EXPECT_GE(erase[1].delayS, 9.0) << "the bootloader's answer after its erase";
    EXPECT_EQ(b.Frame({0xD1, 0x31, 0xCE}), "0679");
    EXPECT_EQ(b.Frame(Cat({0xD1}, Address(0x08000000))), "0679");
    Bytes page{0xD2};
    const Bytes block = Block(Bytes(256, 0x77));
    page.insert(page.end(), block.begin(), block.end());
    EXPECT_EQ(b.Frame(page), "0679");
    EXPECT_EQ(b.boards.MisBoot().ReadFlash(0, 256), Bytes(256, 0x77));
    EXPECT_EQ(b.boards.CpuBoot().MassErases(), 0) << "the CPU board's flash is not touched";
    EXPECT_EQ(b.Frame({0xD3}), "0679");
    EXPECT_EQ(b.boards.MisResets(), 1);
    EXPECT_FALSE(b.boards.PassThroughOpen());
    EXPECT_EQ(b.Frame({0xD1, 0x7F}), "15");
}

TEST(SimBoards, LinkSpeedSwitchLeavesAPcThatDoesNotFollowUnheard)
{
    Boards b;
    EXPECT_EQ(b.Frame({'I'}, 0.0, 38400).substr(0, 2), "06") << "before any switch every rate is heard";
    EXPECT_EQ(b.Frame({0xD4, 0x00}, 0.0, 115200), kStatusOk);
    EXPECT_EQ(b.boards.LinkBaud(), 57600);
    EXPECT_EQ(b.boards.LineBaud(), 57600);
    EXPECT_EQ(b.Frame({'I'}, 0.0, 115200), "");
    EXPECT_GT(b.boards.LineErrors(), 0u);
    EXPECT_EQ(b.Frame({'I'}, 0.0, 57600).substr(0, 2), "06");
    EXPECT_EQ(b.Frame({0xD4, 0x01}, 0.0, 57600), kStatusOk);
    EXPECT_EQ(b.boards.LinkBaud(), 115200);
    EXPECT_EQ(b.Frame({0xD4, 0x02}, 0.0, 115200), "06" + BytesToHex(BuildShortFrame({'1'})));
}
