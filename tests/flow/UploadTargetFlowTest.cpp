#include <QTextDocument>
#include <gtest/gtest.h>

#include <string>

#include "AppRig.h"

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
    const std::string a = "File bin (31400_*.bin)|*31400_*.bin";
    const std::string b = "File bin (31420_*.bin)|*31420_*.bin";
    const std::string usb = "1. Connect Usb cable to the device\r\n2. Switch ON the device with xxx  \r\n    buttons pressed";
    const std::string package = kTextK + "\r\n3.  Select directory:  27520_Pack_V1-xx ";
    const struct {
        const char* target;
        std::string filter;
        std::string instructions;
    } cases[] = {
        {"QSLUM", b, kTextK},        {"QS408t", b, kTextK},     {"QMX-ARN", a, kTextK},  {"VERTAPROB611", a, kTextK},
        {"BRISKCHK", a, kTextK},     {"VERTA708", a, kTextK},   {"VERTA710", a, kTextK}, {"ULTRAVERTAs", a, kTextK},
        {"QMX-ARN+", a, kTextK},     {"ZJ55391", a, kTextK},    {"ZJ55392", a, kTextK},  {"ZJ55393", a, kTextK},
        {"QSVERIFs-MAX", "File bin (27510_*.bin)|*.bin", usb}, {"QSVERIFs-MIN", "File bin (27520_*.pkg)|*.pkg", package},
    };
    ASSERT_EQ(rig.Items("cmbUploadTipoStrum").size(), std::size(cases));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        // A target of another filter first, so every choice must set its own.
        Choose(c.target == std::string("QSVERIFs-MAX") ? "QMX-ARN" : "QSVERIFs-MAX");
        Choose(c.target);
        EXPECT_EQ(Instructions(), c.instructions);
        EXPECT_EQ(Filter(), c.filter);
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
