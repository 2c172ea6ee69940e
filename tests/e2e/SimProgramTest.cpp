#include <gtest/gtest.h>

#include <cstdlib>

#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "link/SerialLink.h"
#include "sim/SimInstrument.h"
#include "support/RealPath.h"
#include "support/SimProgram.h"

TEST(SimProgram, IdentificationEepromAndFlashThroughARealPort)
{
    SimProgram sim({"--model", "QS408t", "--serial", "00000077", "--pace"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    RealPath path(sim.link());
    ASSERT_EQ(path.link.InitSeriale(1, "115200"), 0);

    InstrumentInfo info;
    ASSERT_EQ(ReadInstrumentInfo(path.link, info), 0) << info.Message;
    EXPECT_EQ(info.Name, "QS408t");
    EXPECT_EQ(info.SerialNumber, "00000077");
    EXPECT_EQ(info.FwVersion, "1.05");

    Bytes block;
    std::string message;
    ASSERT_EQ(ReadEepromBlock(path.link, 1900, block, message), 0) << message;
    ASSERT_EQ(block.size(), 100u);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(block[static_cast<std::size_t>(i)], SimInstrument::EepromPattern(1900 + i)) << i;

    const Bytes written(100, 0xA5);
    EXPECT_EQ(WriteEepromBlock(path.link, 200, written, message), 0) << message;
    ASSERT_EQ(ReadEepromBlock(path.link, 200, block, message), 0);
    EXPECT_EQ(block, written);

    FlashPageRecord page;
    page.FirstPage = page.LastPage = 2047;
    ASSERT_EQ(ReadFlashPages(path.link, page), 0);
    ASSERT_EQ(page.Count, 4096);
    for (std::uint32_t i = 0; i < 4096; i += 97)
        ASSERT_EQ(page.Data[i], SimInstrument::FlashPattern(2047u * 4096u + i)) << i;

    FlashPageRecord out;
    out.FirstPage = out.LastPage = 9;
    out.Count = 4096;
    for (std::size_t i = 0; i < 4096; ++i)
        out.Data[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(WriteFlashPages(path.link, out), 0) << out.Message;
    FlashPageRecord back;
    back.FirstPage = back.LastPage = 9;
    ASSERT_EQ(ReadFlashPages(path.link, back), 0);
    EXPECT_TRUE(std::equal(back.Data.begin(), back.Data.begin() + 4096, out.Data.begin()));

    path.link.CloseSeriale();
}
