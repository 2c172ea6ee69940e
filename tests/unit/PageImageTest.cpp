// Firmware images as pages, the percentage arithmetic, package files, and the page writers on
// both routes against the simulated boards in virtual time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "firmware/BootClient.h"
#include "firmware/PackageFile.h"
#include "firmware/PageImage.h"
#include "firmware/PageWriter.h"
#include "firmware/TextUploadView.h"
#include "sim/SimBoards.h"
#include "sim/SimPort.h"
#include "sim/VirtualHost.h"
#include "support/ScriptedDialogs.h"

namespace {

struct TempFolder {
    std::string path;
    TempFolder()
    {
        char name[] = "/tmp/servicetool-pages-XXXXXX";
        path = mkdtemp(name) ? name : "/tmp";
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string Write(const std::string& name, const Bytes& bytes) const
    {
        const std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
        return file;
    }
    std::string WriteText(const std::string& name, const std::string& text) const
    {
        return Write(name, Bytes(text.begin(), text.end()));
    }
};

Bytes Image(std::size_t size, unsigned seed = 7)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 131 + seed + (i >> 8)) & 0xFF);
    return bytes;
}

std::uint8_t CheckOf(const std::uint8_t* data)
{
    std::uint8_t x = 0;
    for (int i = 0; i < kPageDataSize; ++i)
        x ^= data[i];
    return static_cast<std::uint8_t>(0xFF ^ x);
}

}  // namespace

TEST(PageImage, PagesPaddingAndCheckBytesByFileSize)
{
    TempFolder folder;
    PageImage image;
    const struct {
        std::size_t size;
        int pages;
    } cases[] = {{0, 0}, {1, 1}, {255, 1}, {256, 1}, {257, 2}, {512, 2}, {513, 3}, {1000, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const Bytes data = Image(c.size, static_cast<unsigned>(c.size));
        BootContext boot;
        boot.PageCount = 99;
        ASSERT_EQ(image.fillArray(folder.Write("f.bin", data), boot), ImageLoad::Loaded);
        EXPECT_EQ(boot.PageCount, c.pages);
        for (int p = 0; p < c.pages; ++p) {
            const std::uint8_t* row = image.Row(p);
            for (int i = 0; i < kPageDataSize; ++i) {
                const std::size_t at = static_cast<std::size_t>(p) * kPageDataSize + static_cast<std::size_t>(i);
                ASSERT_EQ(row[i], at < data.size() ? data[at] : 0x00) << "page " << p << " byte " << i;
            }
            EXPECT_EQ(row[kPageDataSize], CheckOf(row));
        }
    }
}

TEST(PageImage, ThousandBytesGiveFourPagesTheLastPaddedWithZeros)
{
    TempFolder folder;
    PageImage image;
    BootContext boot;
    const Bytes data = Image(1000);
    ASSERT_EQ(image.fillArray(folder.Write("a.bin", data), boot), ImageLoad::Loaded);
    ASSERT_EQ(boot.PageCount, 4);
    const std::uint8_t* last = image.Row(3);
    std::uint8_t x = 0;
    for (int i = 0; i < 232; ++i) {
        EXPECT_EQ(last[i], data[768 + static_cast<std::size_t>(i)]);
        x ^= data[768 + static_cast<std::size_t>(i)];
    }
    for (int i = 232; i < 256; ++i)
        EXPECT_EQ(last[i], 0x00);
    EXPECT_EQ(last[256], 0xFF ^ x);
}

TEST(PageImage, SizeLimitOnBothSidesAndFilesThatCannotLoad)
{
    TempFolder folder;
    PageImage image;
    BootContext boot;
    boot.PageCount = 5;

    Bytes largest = Image(kMaxImageBytes);
    ASSERT_EQ(image.fillArray(folder.Write("max.bin", largest), boot), ImageLoad::Loaded);
    EXPECT_EQ(boot.PageCount, 8001);
    EXPECT_EQ(image.Row(8000)[255], largest.back());

    largest.push_back(0x42);
    const std::string tooLarge = folder.Write("big.bin", largest);
    boot.PageCount = 5;
    EXPECT_EQ(image.fillArray(tooLarge, boot), ImageLoad::TooLarge);
    EXPECT_EQ(boot.PageCount, 5) << "nothing changes";
    EXPECT_EQ(CheckImageFile(tooLarge).result, ImageLoad::TooLarge);
    EXPECT_EQ(CheckImageFile(tooLarge).bytes, kMaxImageBytes + 1);
    EXPECT_EQ(ImageProblemText(tooLarge, CheckImageFile(tooLarge)),
              " Image file too large: " + tooLarge + " (2048257 bytes, at most 2048256)");

    EXPECT_EQ(image.fillArray(folder.path + "/none.bin", boot), ImageLoad::Missing);
    EXPECT_EQ(image.fillArray("", boot), ImageLoad::Missing);
    EXPECT_EQ(image.fillArray(folder.path, boot), ImageLoad::Unreadable) << "a folder";
    EXPECT_EQ(boot.PageCount, 5);
}

TEST(Percentage, StepAndRoundingOfBarAndLabel)
{
    EXPECT_FLOAT_EQ(PercentStep(9), 10.0F);
    EXPECT_EQ(PercentText(9, PercentStep(9)), "90%");
    EXPECT_EQ(BarValue(9, PercentStep(9)), 90);
    EXPECT_FLOAT_EQ(PercentStep(0), 100.0F);
    // 7 pages: step 12.5, so the halves show how each rounds.
    const float step = PercentStep(7);
    const struct {
        int done;
        int bar;          // half to the even neighbour
        const char* label;  // half away from zero
    } cases[] = {{0, 0, "0%"}, {1, 12, "13%"}, {2, 25, "25%"}, {3, 38, "38%"}, {5, 62, "63%"}, {7, 88, "88%"}};
    for (const auto& c : cases) {
        EXPECT_EQ(BarValue(c.done, step), c.bar) << c.done;
        EXPECT_EQ(PercentText(c.done, step), c.label) << c.done;
    }
    // 2 pages: step 33.333332 in single precision; 2 pages show 67.
    EXPECT_EQ(PercentText(2, PercentStep(2)), "67%");
    EXPECT_EQ(BarValue(1, PercentStep(2)), 33);
}

TEST(PageAddress, PageTimes256FromTheFlashStart)
{
    EXPECT_EQ(PageAddress(0), (std::array<std::uint8_t, 4>{0x08, 0x00, 0x00, 0x00}));
    EXPECT_EQ(PageAddress(1), (std::array<std::uint8_t, 4>{0x08, 0x00, 0x01, 0x00}));
    EXPECT_EQ(PageAddress(0x123), (std::array<std::uint8_t, 4>{0x08, 0x01, 0x23, 0x00}));
    EXPECT_EQ(PageAddress(8000), (std::array<std::uint8_t, 4>{0x08, 0x1F, 0x40, 0x00}));
}

TEST(PackageFile, LinesInEitherOrderAndEveryMalformedPackage)
{
    TempFolder folder;
    const std::string dir = folder.path + "/";
    const struct {
        const char* name;
        const char* content;
        const char* cpu;
        const char* mis;
        const char* problem;
    } cases[] = {
        {"CPU first", "27520_CPU_V1.bin\r\n27520_MIS_V1.bin\r\n", "27520_CPU_V1.bin", "27520_MIS_V1.bin", nullptr},
        {"MIS first", "27520_MIS_V1.bin\r\n27520_CPU_V1.bin\r\n", "27520_CPU_V1.bin", "27520_MIS_V1.bin", nullptr},
        {"no line end", "a_MIS.bin\nb_CPU.bin", "b_CPU.bin", "a_MIS.bin", nullptr},
        {"a third line is not read", "a_CPU.bin\r\nb_MIS.bin\r\nc_MIS.bin\r\n", "a_CPU.bin", "b_MIS.bin", nullptr},
        {"one line", "27520_CPU_V1.bin\r\n", nullptr, nullptr, "fewer than two lines"},
        {"empty", "", nullptr, nullptr, "fewer than two lines"},
        {"no _CPU", "a_MIS.bin\r\nb_MIS.bin\r\n", nullptr, nullptr, "no _CPU image"},
        {"no _MIS", "a_CPU.bin\r\nb.bin\r\n", nullptr, nullptr, "no _MIS image"},
        {"_CPU on the third line only", "a_MIS.bin\r\nb.bin\r\nc_CPU.bin\r\n", nullptr, nullptr, "no _CPU image"},
        {"one line names both", "a_CPU_MIS.bin\r\nb.bin\r\n", nullptr, nullptr, "one line names both"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.WriteText("p.pkg", c.content);
        const PackageImages images = ReadPackageFile(path, dir);
        if (c.problem) {
            EXPECT_FALSE(images.ok());
            EXPECT_NE(images.problem.find(c.problem), std::string::npos) << images.problem;
            EXPECT_NE(images.problem.find(path), std::string::npos) << "names the package";
        } else {
            ASSERT_TRUE(images.ok()) << images.problem;
            EXPECT_EQ(images.cpuFile, dir + c.cpu);
            EXPECT_EQ(images.misFile, dir + c.mis);
        }
    }
    EXPECT_EQ(ReadPackageFile(dir + "none.pkg", dir).problem, " Package file not readable: " + dir + "none.pkg");
}

namespace {

// Records every log text and label text the writers show.
class RecordingView : public TextUploadView {
public:
    std::vector<std::string> logs;
    std::vector<std::string> labels;
    std::vector<int> bars;
    void SetText(const std::string& text) override
    {
        TextUploadView::SetText(text);
        logs.push_back(text);
    }
    void SetPercentText(const std::string& text) override
    {
        TextUploadView::SetPercentText(text);
        labels.push_back(text);
    }
    void SetBarValue(int value) override
    {
        TextUploadView::SetBarValue(value);
        bars.push_back(value);
    }
};

// The boards on a simulated port, the bootloader synchronised and erased on the chosen route.
struct WriterRig {
    VirtualHost host;
    SimInstrument instrument;
    SimBoards boards{instrument};
    SimPort port{boards, host};
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    BootClient client{link};
    RecordingView view;
    PageImage image;
    TempFolder folder;
    Bytes data;

    explicit WriterRig(bool tunnel, std::size_t bytes = 9 * 256 - 100)
    {
        data = Image(bytes);
        link.Boot.LogBox = &view;
        if (tunnel) {
            link.InitSeriale(1, "115200");
            link.SendFrame({0xD0}, 1.0);
            EXPECT_TRUE(client.TunnelSync());
            EXPECT_TRUE(client.TunnelMassErase());
        } else {
            boards.StartCpuInBootloader();
            client.SetupBootPort("57600");
            client.OpenBootPort();
            EXPECT_TRUE(client.BootSync());
            EXPECT_TRUE(client.BootMassErase());
        }
        EXPECT_EQ(image.fillArray(folder.Write("x.bin", data), link.Boot), ImageLoad::Loaded);
        view.log = "base";
        view.logs.clear();
    }
};

}  // namespace

TEST(PageWriters, DirectNinePagesLinesLabelAndFlash)
{
    WriterRig rig(false);
    ASSERT_EQ(rig.link.Boot.PageCount, 9);
    ASSERT_TRUE(WritePagesDirect(rig.client, rig.image, rig.view));
    ASSERT_EQ(rig.view.logs.size(), 10u);
    EXPECT_EQ(rig.view.logs[0], "base Page 0/9 ...");
    EXPECT_EQ(rig.view.logs[8], "base Page 8/9 ...");
    EXPECT_EQ(rig.view.log, "base Loaded 9 pages  : OK \r\n");
    EXPECT_EQ(rig.view.labels.front(), "0");
    EXPECT_EQ(rig.view.labels.back(), "90%");
    EXPECT_EQ(rig.view.labels.size(), 10u);
    EXPECT_EQ(rig.view.bars, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_FALSE(rig.view.barVisible);
    EXPECT_FALSE(rig.view.percentVisible);
    Bytes expected = rig.data;
    expected.resize(9 * 256, 0x00);
    EXPECT_EQ(rig.boards.CpuBoot().ReadFlash(0, expected.size()), expected);
    EXPECT_TRUE(rig.boards.CpuBoot().FlashErased(9 * 256, 1024)) << "nothing beyond the image";
}

TEST(PageWriters, DirectNackOnTheDataBlockOfPage5StopsThere)
{
    WriterRig rig(false);
    rig.boards.CpuBoot().AddFault(SimBootloader::NackWriteData(0x08000500));
    const std::size_t writesBefore = rig.port.Writes().size();
    EXPECT_FALSE(WritePagesDirect(rig.client, rig.image, rig.view));
    EXPECT_EQ(rig.view.log, "base Page 5/9 ...\r\n data: 1F\r\n Rx(3): 1F0000");
    EXPECT_EQ(rig.port.Writes().size() - writesBefore, 6u * 3u) << "pages 0..5, three frames each";
    EXPECT_EQ(rig.boards.CpuBoot().Writes(), 5);
    EXPECT_TRUE(rig.boards.CpuBoot().FlashErased(5 * 256, 4 * 256)) << "pages 5 onward not written";
    EXPECT_FALSE(rig.view.barVisible);
    EXPECT_FALSE(rig.view.percentVisible);
    EXPECT_EQ(rig.view.labels.back(), "50%");
}

TEST(PageWriters, DirectFailureTextsOfCommandAndAddress)
{
    {
        WriterRig rig(false);
        SimBootFault fault;
        fault.command = 0x31;
        fault.step = SimBootStep::Command;
        fault.after = 2;
        rig.boards.CpuBoot().AddFault(fault);
        EXPECT_FALSE(WritePagesDirect(rig.client, rig.image, rig.view));
        EXPECT_EQ(rig.view.log, "base Page 2/9 ...\r\n Tx: 0x31    Rx(3): 1F0000\r\n");
    }
    {
        WriterRig rig(false);
        SimBootFault fault;
        fault.command = 0x31;
        fault.step = SimBootStep::Address;
        fault.address = 0x08000300;
        fault.silent = true;
        rig.boards.CpuBoot().AddFault(fault);
        EXPECT_FALSE(WritePagesDirect(rig.client, rig.image, rig.view));
        EXPECT_EQ(rig.view.log, "base Page 3/9 ...\r\n Addr: 08000300\r\n  Rx(3): 000000");
    }
}

TEST(PageWriters, TunnelNinePagesLinesAndFrames)
{
    WriterRig rig(true);
    const std::size_t writesBefore = rig.port.Writes().size();
    ASSERT_TRUE(WritePagesTunnel(rig.client, rig.image, rig.view));
    ASSERT_GE(rig.view.logs.size(), 3u);
    EXPECT_EQ(rig.view.logs[2], "baseProg. N.3/9");
    EXPECT_EQ(rig.view.log, "baseProg. N.9/9\r\n");
    EXPECT_EQ(rig.view.bars, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_FALSE(rig.view.barVisible);
    Bytes expected = rig.data;
    expected.resize(9 * 256, 0x00);
    EXPECT_EQ(rig.boards.MisBoot().ReadFlash(0, expected.size()), expected);
    const auto& writes = rig.port.Writes();
    ASSERT_EQ(writes.size() - writesBefore, 27u);
    EXPECT_EQ(BytesToHex(writes[writesBefore]), "0107D131CE1E0A04");
    EXPECT_EQ(BytesToHex(writes[writesBefore + 4]), "010AD10800010009080A04");
    const Bytes& data = writes[writesBefore + 5];
    ASSERT_EQ(data.size(), 265u);
    EXPECT_EQ(BytesToHex(Bytes(data.begin(), data.begin() + 5)), "020108D2FF");
    EXPECT_EQ(data[261], CheckOf(rig.image.Row(1)));
    EXPECT_EQ(BytesToHex(Bytes(data.end() - 2, data.end())), "0A04");
}

TEST(PageWriters, TunnelDataFrameOfAnErasedLookingPage)
{
    TempFolder folder;
    WriterRig rig(true, 256);
    ASSERT_EQ(rig.image.fillArray(folder.Write("ff.bin", Bytes(256, 0xFF)), rig.link.Boot), ImageLoad::Loaded);
    ASSERT_TRUE(WritePagesTunnel(rig.client, rig.image, rig.view));
    const Bytes& frame = rig.port.Writes().back();
    Bytes expected{0x02, 0x01, 0x08, 0xD2, 0xFF};
    expected.insert(expected.end(), 256, 0xFF);
    expected.insert(expected.end(), {0xFF, 0x1B, 0x0A, 0x04});
    EXPECT_EQ(BytesToHex(frame), BytesToHex(expected));
}

TEST(PageWriters, TunnelFailureLeavesNoTextAndStops)
{
    WriterRig rig(true);
    rig.boards.MisBoot().AddFault(SimBootloader::NackWriteData(0x08000400));
    EXPECT_FALSE(WritePagesTunnel(rig.client, rig.image, rig.view));
    EXPECT_EQ(rig.view.log, "baseProg. N.4/9");
    EXPECT_EQ(rig.boards.MisBoot().Writes(), 4);
    EXPECT_FALSE(rig.view.barVisible);
}
