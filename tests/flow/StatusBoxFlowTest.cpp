#include <QTextDocument>
#include <gtest/gtest.h>

#include "AppRig.h"

namespace {

struct StatusBoxes : ::testing::Test {
    AppRig rig;
    void SetUp() override { rig.StartOn("31400-paramedit\r\n31400-WlanOps\r\n"); }
    StatusBox& Box(const char* name) { return rig.Control<StatusBox>(name); }
};

}  // namespace

// CR LF is one line break on screen and kept in the text; texts with accents show as written, and
// pieces appended show as the whole text would.
TEST_F(StatusBoxes, LineBreaksAndAccentsShowAsWritten)
{
    for (const char* name : {"txtProgStatus", "txtDownStatus", "txtParamStatus", "txtService"}) {
        SCOPED_TRACE(name);
        StatusBox& box = Box(name);
        box.SetText(" Serial error !!\r\n\r\n  Check connection. N\xC2\xB0 3  accetabilit\xC3\xA0");
        EXPECT_EQ(box.Text(), " Serial error !!\r\n\r\n  Check connection. N\xC2\xB0 3  accetabilit\xC3\xA0");
        EXPECT_EQ(box.toPlainText(), QString::fromUtf8(" Serial error !!\n\n  Check connection. N° 3  accetabilità"));
        EXPECT_EQ(box.document()->blockCount(), 3);
    }
    StatusBox& box = Box("txtDownStatus");
    box.SetText("EEprom");
    for (const char* piece : {" OK\r", "\nPage 1\r\n", "Page 2"})
        box.Append(piece);
    EXPECT_EQ(box.Text(), "EEprom OK\r\nPage 1\r\nPage 2");
    EXPECT_EQ(box.toPlainText().toStdString(), "EEprom OK\nPage 1\nPage 2");
}

TEST_F(StatusBoxes, UploadAndDownMemLogsKeepTheCaretAtTheEnd)
{
    for (const char* name : {"txtProgStatus", "txtDownStatus"}) {
        SCOPED_TRACE(name);
        StatusBox& box = Box(name);
        const auto end = [&] { return box.document()->characterCount() - 1; };
        box.SetText("first line\r\nsecond line\r\n");
        EXPECT_EQ(box.textCursor().position(), end());
        box.moveCursor(QTextCursor::Start);
        box.Append("third line\r\n");
        EXPECT_GT(end(), 0);
        EXPECT_EQ(box.textCursor().position(), end());
        box.moveCursor(QTextCursor::Start);
        box.SetText("short");
        EXPECT_EQ(box.textCursor().position(), 5);
    }
}
