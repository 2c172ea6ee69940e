#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "core/ResultCodes.h"
#include "service/ServiceOperations.h"
#include "support/RealPath.h"
#include "support/SimProgram.h"
#include "support/TextServiceView.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// The register lines of a file: everything after its header.
std::string Registers(const std::string& file)
{
    const auto end = file.find("\r\n");
    return end == std::string::npos ? std::string() : file.substr(end + 2);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const auto at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

}  // namespace

// Read-all, write-all and read-all again through a pseudo-terminal, QSerialPort and the simulator
// program: the module ends up holding what the file said.
TEST(ServiceSimProgram, RegisterFileThroughARealPort)
{
    SimProgram sim({"--model", "VRTA710", "--serial", "00000710", "--pace"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    RealPath path(sim.link());
    QTemporaryDir folder;
    const std::string saved = folder.filePath("VRTA710_00000710_wifi.txt").toStdString();
    const std::string edited = folder.filePath("edited_wifi.txt").toStdString();
    const std::string again = folder.filePath("again_wifi.txt").toStdString();
    ParamCatalogue catalogue;
    ServiceContext context{path.link, path.dialogs, catalogue, folder.path().toStdString()};
    TextServiceView view;
    view.command = "WiFi register";
    view.entryIndex = 0;
    view.entryText = "All registers";

    path.dialogs.filePaths.push_back(saved);
    ASSERT_EQ(RunServiceButton(context, view, ServiceButton::Get), code::kOk) << view.log;
    EXPECT_EQ(view.log, "Saved WiFi registers\r\nVRTA710_00000710_WIFI.TXT");
    const std::string first = ReadFile(saved);
    EXPECT_EQ(first.rfind("Wifi registers VRTA710_00000710,    Date:", 0), 0u) << first;
    EXPECT_NE(first.find("\r\n10h VERTA_AP\r\n11h verta1234\r\n12h 192.168.4.1\r\n"), std::string::npos) << first;
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 29);
    EXPECT_FALSE(path.port.IsOpen());

    std::string lines = Replaced(Registers(first), "10h VERTA_AP", "10h Banco prova");
    lines = Replaced(lines, "12h 192.168.4.1", "12h 10.9.8.7");
    lines = Replaced(lines, "20h 0.0.17.1", "20h 0.0.1.16");
    WriteFile(edited, "header\r\n" + lines);
    path.dialogs.filePaths.push_back(edited);
    ASSERT_EQ(RunServiceButton(context, view, ServiceButton::Set), code::kOk) << view.log;
    EXPECT_EQ(view.log, "Write #24 WiFi registers");

    path.dialogs.filePaths.push_back(again);
    ASSERT_EQ(RunServiceButton(context, view, ServiceButton::Get), code::kOk) << view.log;
    EXPECT_EQ(Registers(ReadFile(again)), lines);
    EXPECT_EQ(view.functions, (std::array<bool, 4>{false, true, true, false}));
}
