// Which file names a firmware target takes: those its file dialog offers. (The check at Start, with
// nothing sent for a file that does not fit: the Upload flow tests.)
#include <gtest/gtest.h>

#include "firmware/UploadTargets.h"

TEST(UploadTargetFiles, ANameFitsWhenTheTargetsFileDialogWouldOfferIt)
{
    const struct {
        const char* target;
        const char* name;
        bool fits;
    } cases[] = {
        {"VERTA708", "31400_VERTA708_V1.06.bin", true},
        {"VERTA708", "31400_VERTA708_V1.06.BIN", true},   // letter case ignored, as the dialog does
        {"VERTA708", "Old31400_x.Bin", true},             // the leading "*" takes any start
        {"VERTA708", "31400_.bin", true},                 // and "*" may stand for nothing
        {"VERTA708", "31400.bin", false},                 // the "_" is part of the pattern
        {"VERTA708", "31420_VERTA708.bin", false},
        {"VERTA708", "31400_VERTA708.bin.txt", false},    // the pattern runs to the end of the name
        {"VERTA708", "31400_VERTA708.bi", false},
        {"VERTA708", "", false},
        {"QSLUM", "31420_QSLUM_V2.bin", true},
        {"QSLUM", "31400_QSLUM_V2.bin", false},
        {"QSVERIFs-MAX", "27510_V3.bin", true},
        {"QSVERIFs-MAX", "anything.bin", true},
        {"QSVERIFs-MAX", "27520_Pack_V1-01.pkg", false},
        {"QSVERIFs-MIN", "27520_Pack_V1-01.PKG", true},
        {"QSVERIFs-MIN", "27520_MIS_V1.bin", false},
        {"QSVERIFs-MIN", "27520_Pack.pkg.bak", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + c.name);
        const FirmwareTarget* target = FindFirmwareTarget(c.target);
        ASSERT_TRUE(target);
        EXPECT_EQ(FileFitsTarget(*target, c.name), c.fits);
    }
}
