// A port that is not there, through QSerialPort: code 1000 and the message, for a device that
// is missing and for a number the port map does not name. (Bytes of every value through a real
// port: DownloadThroughARealPort.)
#include <gtest/gtest.h>

#include "core/ResultCodes.h"
#include "link/SerialLink.h"
#include "support/RealPath.h"

TEST(SerialPty, MissingPortGivesCode1000)
{
    RealPath path("/tmp/servicetool-no-such-device", 2);
    SerialLink& link = path.link;
    const ScriptedDialogs& dialogs = path.dialogs;
    EXPECT_EQ(link.InitSeriale(2, "115200"), code::kPortMissing);
    EXPECT_EQ(link.InitSeriale(3, "115200"), code::kPortMissing) << "a number the map does not name";
    EXPECT_FALSE(link.TryOpenPort(2));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].title, "Error");
}
