// The Upload tab's target list: each target shows its instructions and offers its files; choosing
// one forgets the chosen file. (Which names a filter takes: UploadTargetFiles.)
#include <QTextDocument>
#include <gtest/gtest.h>

#include <string>

#include "AppRig.h"

TEST(UploadTargets, EachTargetShowsItsInstructionsAndSetsItsFileFilter)
{
    AppRig rig;
    ASSERT_TRUE(rig.Start());
    const std::string k4410 = "1. Connect K4410 cable to the device\r\n2. Switch ON the device with Menu+GO\r\n    buttons pressed";
    const struct {
        const char* target;
        std::string filter;
        std::string instructions;
    } cases[] = {
        {"ZJ55393", "File bin (31400_*.bin)|*31400_*.bin", k4410},  // the list starts at QSLUM: another first
        {"QSLUM", "File bin (31420_*.bin)|*31420_*.bin", k4410},
        {"QSVERIFs-MAX", "File bin (27510_*.bin)|*.bin",
         "1. Connect Usb cable to the device\r\n2. Switch ON the device with xxx  \r\n    buttons pressed"},
        {"QSVERIFs-MIN", "File bin (27520_*.pkg)|*.pkg", k4410 + "\r\n3.  Select directory:  27520_Pack_V1-xx "},
    };
    EXPECT_EQ(rig.Items("cmbUploadTipoStrum"),
              (std::vector<std::string>{"QSLUM", "QS408t", "QMX-ARN", "VERTAPROB611", "BRISKCHK", "VERTA708", "VERTA710",
                                        "ULTRAVERTAs", "QMX-ARN+", "ZJ55391", "ZJ55392", "ZJ55393", "QSVERIFs-MAX",
                                        "QSVERIFs-MIN"}));
    auto& box = rig.Control<StatusBox>("txtProgStatus");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        rig.Choose("cmbUploadTipoStrum", c.target);
        EXPECT_EQ(box.Text(), c.instructions);
        EXPECT_EQ(rig.form->Upload->FileFilter(), c.filter);
    }
    // Each instruction line is a line of its own on screen.
    EXPECT_EQ(box.document()->blockCount(), 4);
    EXPECT_EQ(box.toPlainText().toStdString(), "1. Connect K4410 cable to the device\n2. Switch ON the device with Menu+GO\n"
                                               "    buttons pressed\n3.  Select directory:  27520_Pack_V1-xx ");

    // Choosing a target forgets the chosen file, but leaves Start as it was.
    auto& file = rig.Control<QLabel>("lblNomeFile");
    auto& start = rig.Control<QPushButton>("CmdStartProg");
    for (const bool enabled : {true, false}) {
        file.setText("...31400_V2.bin");
        rig.form->Upload->SetDialogFileName("/f/31400_V2.bin");
        start.setEnabled(enabled);
        rig.Choose("cmbUploadTipoStrum", enabled ? "QMX-ARN" : "QSLUM");
        EXPECT_EQ(file.text(), "");
        EXPECT_EQ(rig.form->Upload->DialogFileName(), "");
        EXPECT_EQ(start.isEnabled(), enabled);
    }
}
