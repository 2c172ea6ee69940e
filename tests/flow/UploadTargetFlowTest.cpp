#include <QTextDocument>
#include <gtest/gtest.h>

#include <string>

#include "AppRig.h"
#include "link/Registry.h"

namespace {

const std::string kTextK = "1. Connect K4410 cable to the device\r\n2. Switch ON the device with Menu+GO\r\n    buttons pressed";

struct UploadTargets : ::testing::Test {
    AppRig rig;
    void SetUp() override { ASSERT_TRUE(rig.Start()); }
    void Choose(const std::string& target) { rig.Choose("cmbUploadTipoStrum", target); }
    const std::string& Instructions() { return rig.Control<StatusBox>("txtProgStatus").Text(); }
    const std::string& Filter() { return rig.form->Upload->FileFilter(); }
};

}  // namespace

TEST_F(UploadTargets, EveryTargetHasItsInstructionsAndFileFilter)
{
    for (const std::string& target : FirmwareTargets()) {
        SCOPED_TRACE(target);
        // A target of another filter first, so every choice must set its own.
        Choose(target == "QSVERIFs-MAX" ? "QMX-ARN" : "QSVERIFs-MAX");
        Choose(target);
        if (target == "QSVERIFs-MAX") {
            EXPECT_EQ(Instructions(), "1. Connect Usb cable to the device\r\n2. Switch ON the device with xxx  \r\n    buttons pressed");
            EXPECT_EQ(Filter(), "File bin (27510_*.bin)|*.bin");
        } else if (target == "QSVERIFs-MIN") {
            EXPECT_EQ(Instructions(), kTextK + "\r\n3.  Select directory:  27520_Pack_V1-xx ");
            EXPECT_EQ(Filter(), "File bin (27520_*.pkg)|*.pkg");
        } else {
            EXPECT_EQ(Instructions(), kTextK);
            EXPECT_EQ(Filter(), target == "QSLUM" || target == "QS408t" ? "File bin (31420_*.bin)|*31420_*.bin"
                                                                        : "File bin (31400_*.bin)|*31400_*.bin");
        }
    }
    // Each instruction line is a line of its own on screen.
    Choose("QSVERIFs-MIN");
    auto& box = rig.Control<StatusBox>("txtProgStatus");
    EXPECT_EQ(box.document()->blockCount(), 4);
    EXPECT_EQ(box.toPlainText().toStdString(), "1. Connect K4410 cable to the device\n2. Switch ON the device with Menu+GO\n"
                                               "    buttons pressed\n3.  Select directory:  27520_Pack_V1-xx ");
}

TEST_F(UploadTargets, ChoosingATargetClearsTheChosenFileButNotTheStartButton)
{
    auto& file = rig.Control<QLabel>("lblNomeFile");
    auto& start = rig.Control<QPushButton>("CmdStartProg");
    for (const bool enabled : {true, false}) {
        file.setText("...31400_V2.bin");
        start.setEnabled(enabled);
        Choose(enabled ? "QMX-ARN" : "QSLUM");
        EXPECT_EQ(file.text(), "");
        EXPECT_EQ(rig.form->Upload->DialogFileName(), "");
        EXPECT_EQ(start.isEnabled(), enabled);
    }
}
