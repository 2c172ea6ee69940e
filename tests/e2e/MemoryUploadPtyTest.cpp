// The Upload through a real pseudo-terminal and QSerialPort into the simulator program; its
// memories are read back from the files it saves when it stops.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

#include "core/ResultCodes.h"
#include "memory/ImageFiles.h"
#include "memory/MemoryUpload.h"
#include "sim/SimInstrument.h"
#include "support/RealPath.h"
#include "support/SimProgram.h"

namespace {

// Both memories chosen, pages 4 to 6, no Stop.
class PlainView : public DownMemView {
public:
    std::vector<std::string> shown;  // every text of the log
    std::string Status() const override { return status_; }
    void SetStatus(const std::string& text) override
    {
        status_ = text;
        shown.push_back(text);
    }
    void SetProgressVisible(bool) override {}
    void SetProgress(int) override {}
    bool EepromChosen() const override { return true; }
    bool FlashChosen() const override { return true; }
    bool RecordCountRangeChosen() const override { return false; }
    std::string FromPageText() const override { return "4"; }
    std::string ToPageText() const override { return "6"; }
    void SetPageTexts(const std::string&, const std::string&) override {}
    bool AbortRequested() const override { return false; }

private:
    std::string status_;
};

Bytes Pattern(std::size_t size, std::uint8_t seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 131 + (i >> 9) + seed) & 0xFF);
    return bytes;
}

Bytes ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return Bytes(data.begin(), data.end());
}

bool WriteFile(const QString& path, const Bytes& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
}

}  // namespace

// Page 5 is refused once on the way, so the retry runs over the real port too.
TEST(MemoryUploadPty, EepromImageAndFlashPagesReachTheInstrumentProgram)
{
    QTemporaryDir images;
    QTemporaryDir saved;
    ASSERT_TRUE(images.isValid() && saved.isValid());
    const std::string base = "VRTA708_00001234_fwV1.05_250101000000";
    const Bytes eeprom = Pattern(kEepromSize, 3);
    const Bytes flash = Pattern(3 * kFlashPageSize, 5);
    const QString epr = images.filePath(QString::fromStdString(EepromImageName(base)));
    ASSERT_TRUE(WriteFile(epr, eeprom));
    ASSERT_TRUE(WriteFile(images.filePath(QString::fromStdString(FlashImageName(base, 4, 6))), flash));

    int code = -1;
    PlainView view;
    {
        SimProgram sim({"--save-memory", saved.path().toStdString(), "--fault", "busy,cmd=0xE6,target=0x5000,times=1"});
        ASSERT_TRUE(sim.ok()) << sim.error();
        RealPath path(sim.link());
        path.dialogs.filePaths.push_back(epr.toStdString());
        MemoryUpload upload(path.link, path.dialogs, view, images.path().toStdString());
        code = upload.Run();
        path.link.CloseSeriale();
        EXPECT_EQ(path.dialogs.messages.size(), 1u) << "the confirmation only";
    }  // the simulator stops and saves its memories

    EXPECT_EQ(code, code::kOk);
    EXPECT_EQ(view.Status(), EepromImageName(base) + "\r\n  Upload Eeprom  ...  OK\r\n\r\n" +
                                 FlashImageName(base, 4, 6) + "\r\n  Upload FLASH  ...\r\n Pages 4-6  OK\r\n\r\n");
    EXPECT_TRUE(std::any_of(view.shown.begin(), view.shown.end(),
                            [](const std::string& text) { return text.ends_with(" Page 5/6      RetryTot=1/1"); }))
        << "page 5 was sent again";
    EXPECT_EQ(ReadFile(saved.filePath("eeprom.bin")), eeprom);
    const Bytes savedFlash = ReadFile(saved.filePath("flash.bin"));
    ASSERT_EQ(savedFlash.size(), std::size_t{kSimFlashSize});
    const auto page = [&](int n) {
        const auto from = savedFlash.begin() + static_cast<std::ptrdiff_t>(n) * kFlashPageSize;
        return Bytes(from, from + kFlashPageSize);
    };
    EXPECT_EQ(Bytes(savedFlash.begin() + 4 * kFlashPageSize, savedFlash.begin() + 7 * kFlashPageSize), flash);
    for (const int untouched : {3, 7}) {
        Bytes pattern(kFlashPageSize);
        for (int i = 0; i < kFlashPageSize; ++i)
            pattern[static_cast<std::size_t>(i)] =
                SimInstrument::FlashPattern(static_cast<std::uint32_t>(untouched * kFlashPageSize + i));
        EXPECT_EQ(page(untouched), pattern) << "page " << untouched;
    }
}
