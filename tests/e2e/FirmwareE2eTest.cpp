// The Debian flasher stm32flash against the simulator program: an outside check that its STM32
// bootloader is one a standard flasher writes and verifies through. (The tool's own firmware runs
// through a real port are in CliProgram.FlashesOneBoardOrBothBoardsOfAPackage.)
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "core/Bytes.h"
#include "support/RunProgram.h"
#include "support/SimProgram.h"

namespace {

// The simulator writes its flash dump when the port is closed: wait for it to hold `image`.
bool DumpHolds(const std::string& dump, const Bytes& image)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        QFile file(QString::fromStdString(dump));
        const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (Bytes(data.begin(), data.begin() + std::min<qsizetype>(data.size(), static_cast<qsizetype>(image.size()))) == image)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

TEST(FirmwareE2e, Stm32flashWritesAndVerifiesThroughTheSimulator)
{
    if (access("/usr/bin/stm32flash", X_OK) != 0)
        GTEST_SKIP() << "stm32flash is not installed (scripts/setup installs it)";
    QTemporaryDir folder;
    Bytes image(40000);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>((i * 53 + 3 + (i >> 9)) & 0xFF);
    const QString imageFile = folder.filePath("image.bin");
    {
        QFile file(imageFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
    }
    const std::string dump = folder.filePath("flash").toStdString();
    SimProgram sim({"--boot", "--flash-dump", dump});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const ProgramRun run = RunProgram(
        {"/usr/bin/stm32flash", "-m", "8n1", "-b", "115200", "-w", imageFile.toStdString(), "-v", sim.link()}, {}, 60000);
    EXPECT_EQ(run.exitCode, 0) << run.out.substr(0, 2000) << run.err.substr(0, 2000);
    EXPECT_NE((run.out + run.err).find("0x0413"), std::string::npos) << "identified by Get ID";

    EXPECT_TRUE(DumpHolds(dump + "-cpu.bin", image));
}
