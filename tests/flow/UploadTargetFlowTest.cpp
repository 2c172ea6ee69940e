#include <QTextDocument>
#include <gtest/gtest.h>

#include <string>

#include "AppRig.h"
#include "link/Registry.h"

namespace {

const std::string kTextK = "1. Connect K4410 cable to the device\r\n2. Switch ON the device with Menu+GO\r\n    buttons pressed";
const std::string kTextU = "1. Connect Usb cable to the device\r\n2. Switch ON the device with xxx  \r\n    buttons pressed";
const std::string kFilterA = "File bin (31400_*.bin)|*31400_*.bin";
const std::string kFilterB = "File bin (31420_*.bin)|*31420_*.bin";

struct UploadTargets : ::testing::Test {
    AppRig rig;
    void SetUp() override { ASSERT_TRUE(rig.Start()); }
    void Choose(const std::string& target)
    {
        auto& list = rig.Control<QComboBox>("cmbUploadTipoStrum");
        const int index = list.findText(QString::fromStdString(target));
        ASSERT_GE(index, 0) << target;
        list.setCurrentIndex(index);
    }
    const std::string& Instructions() { return rig.Control<StatusBox>("txtProgStatus").Text(); }
    const std::string& Filter() { return rig.form->Upload->FileFilter(); }
};

}  // namespace

TEST_F(UploadTargets, VerifierMaxAsksForTheUsbCableAndOffersAnyBinFile)
{
    Choose("QSVERIFs-MAX");
    EXPECT_EQ(Instructions(), kTextU);
    EXPECT_EQ(Filter(), "File bin (27510_*.bin)|*.bin");
}

TEST_F(UploadTargets, VerifierMinAsksForThePackageFolderAndOffersPackages)
{
    Choose("QSVERIFs-MIN");
    EXPECT_EQ(Instructions(), kTextK + "\r\n3.  Select directory:  27520_Pack_V1-xx ");
    EXPECT_EQ(Filter(), "File bin (27520_*.pkg)|*.pkg");
}

TEST_F(UploadTargets, EverySingleBoardTargetHasTheK4410InstructionsAndItsFamilyFilter)
{
    for (const std::string& target : FirmwareTargets()) {
        if (target == "QSVERIFs-MAX" || target == "QSVERIFs-MIN")
            continue;
        SCOPED_TRACE(target);
        Choose("QSVERIFs-MAX");  // a different filter first, so every choice must set its own
        Choose(target);
        EXPECT_EQ(Instructions(), kTextK);
        EXPECT_EQ(Filter(), (target == "QSLUM" || target == "QS408t") ? kFilterB : kFilterA);
    }
}

TEST_F(UploadTargets, ChoosingATargetClearsTheChosenFileButNotTheStartButton)
{
    auto& file = rig.Control<QLabel>("lblNomeFile");
    auto& start = rig.Control<QPushButton>("CmdStartProg");

    file.setText("...31400_V2.bin");
    start.setEnabled(true);
    Choose("QMX-ARN");
    EXPECT_EQ(file.text(), "");
    EXPECT_EQ(rig.form->Upload->DialogFileName(), "");
    EXPECT_TRUE(start.isEnabled());

    file.setText("...31420_V2.bin");
    start.setEnabled(false);
    Choose("QSLUM");
    EXPECT_EQ(file.text(), "");
    EXPECT_FALSE(start.isEnabled());
}

TEST_F(UploadTargets, InstructionLinesShowOneLineEach)
{
    Choose("QSVERIFs-MIN");
    auto& box = rig.Control<StatusBox>("txtProgStatus");
    EXPECT_EQ(box.document()->blockCount(), 4);
    EXPECT_EQ(box.toPlainText().toStdString(),
              "1. Connect K4410 cable to the device\n2. Switch ON the device with Menu+GO\n    buttons pressed\n"
              "3.  Select directory:  27520_Pack_V1-xx ");
}
