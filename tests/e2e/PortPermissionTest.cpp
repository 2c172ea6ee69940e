#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/ResultCodes.h"
#include "link/SerialLink.h"
#include "platform/QtSerialPort.h"
#include "sim/VirtualHost.h"
#include "support/Pty.h"
#include "support/ScriptedDialogs.h"

namespace {

constexpr char kSeparator = '\x1f';

// Runs `probe` in a child process that is not root ('nobody' when the tests run as root, since
// root opens any device whatever its mode) and returns the fields it answered. Empty when no such
// user can be had.
std::vector<std::string> AsOtherUser(const std::function<std::vector<std::string>()>& probe)
{
    const passwd* nobody = getuid() == 0 ? getpwnam("nobody") : nullptr;
    if (getuid() == 0 && !nobody)
        return {};
    const uid_t uid = nobody ? nobody->pw_uid : getuid();
    const gid_t gid = nobody ? nobody->pw_gid : getgid();
    int answer[2];
    if (pipe(answer) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(answer[0]);
        if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0))
            _exit(3);
        std::string text;
        for (const std::string& field : probe())
            text += field + kSeparator;
        const ssize_t written = write(answer[1], text.data(), text.size());
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 4);
    }
    close(answer[1]);
    std::string text;
    char buffer[1024];
    for (ssize_t n; (n = read(answer[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(answer[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    std::vector<std::string> fields;
    for (std::size_t start = 0, end; (end = text.find(kSeparator, start)) != std::string::npos; start = end + 1)
        fields.push_back(text.substr(start, end - start));
    return fields;
}

std::string GroupOfFile(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        return {};
    const group* owner = getgrgid(status.st_gid);
    return owner ? owner->gr_name : "";
}

// Opens port 1, mapped to `device`, through the real serial port and the link; answers the
// code, what the port reported and the message shown.
std::vector<std::string> OpenThroughTheLink(const std::string& device)
{
    setenv("SERVICETOOL_PORT_MAP", ("1=" + device).c_str(), 1);
    QtSerialPort port{PortResolver()};
    VirtualHost host;
    ScriptedDialogs dialogs;
    SerialLink link(port, host, dialogs);
    const int code = link.InitSeriale(1, "115200");
    const PortOpenResult& result = link.LastOpenError();
    link.CloseSeriale();
    return {std::to_string(code), result.accessDenied ? "denied" : "-", result.device, result.deviceGroup,
            dialogs.messages.empty() ? "" : dialogs.messages.front().title,
            dialogs.messages.empty() ? "" : dialogs.messages.front().text};
}

}  // namespace

// A technician who is not in the device's group: the open fails with the usual message and a
// line telling which group to join; the same device opened with its permissions open works.
TEST(PortPermission, PtyWithoutPermissionsGivesTheGroupHintToAnOrdinaryUser)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    const std::string device = pty.slaveName();
    const std::string group = GroupOfFile(device);
    ASSERT_FALSE(group.empty());

    const struct {
        mode_t mode;
        bool refused;
    } cases[] = {{0000, true}, {0666, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        ASSERT_EQ(chmod(device.c_str(), c.mode), 0);
        const std::vector<std::string> fields = AsOtherUser([&] { return OpenThroughTheLink(device); });
        if (fields.empty())
            GTEST_SKIP() << "no user other than root to open the device as";
        ASSERT_EQ(fields.size(), 6u);
        if (!c.refused) {
            EXPECT_EQ(fields[0], "0");
            EXPECT_EQ(fields[4], "") << fields[5];
            continue;
        }
        EXPECT_EQ(fields[0], std::to_string(code::kRefused));
        EXPECT_EQ(fields[1], "denied");
        EXPECT_EQ(fields[2], device);
        EXPECT_EQ(fields[3], group);
        EXPECT_EQ(fields[4], "Routine <InitSeriale>");
        const std::string& text = fields[5];
        EXPECT_EQ(text.rfind("Error :", 0), 0u) << text;
        const std::string hint = "\r\nNo permission to open " + device + ": add your user to the group \"" + group +
                                 "\" (sudo usermod -aG " + group + " $USER), then log out and log in again.";
        ASSERT_GE(text.size(), hint.size());
        EXPECT_EQ(text.substr(text.size() - hint.size()), hint) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << "the usual two lines and the hint";
    }
}

// A device held by another program is refused too, but joining a group would not help.
TEST(PortPermission, PortHeldByAnotherOpeningGetsNoGroupHint)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    setenv("SERVICETOOL_PORT_MAP", ("1=" + pty.slaveName()).c_str(), 1);
    QtSerialPort holder{PortResolver()};
    holder.SetPortNumber(1);
    ASSERT_TRUE(holder.Open().ok());

    const std::vector<std::string> fields = OpenThroughTheLink(pty.slaveName());
    holder.Close();
    unsetenv("SERVICETOOL_PORT_MAP");
    ASSERT_EQ(fields.size(), 6u);
    if (fields[0] == "0")
        GTEST_SKIP() << "this system lets a second opening share the device";
    EXPECT_EQ(fields[0], std::to_string(code::kRefused));
    EXPECT_EQ(fields[1], "-");
    EXPECT_EQ(fields[5].find("No permission"), std::string::npos) << fields[5];
}
