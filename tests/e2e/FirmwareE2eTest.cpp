// Firmware programming through a real pseudo-terminal and QSerialPort against servicetool-sim, and
// the Debian flasher stm32flash against the same simulator as an outside check of its bootloader.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "firmware/FirmwareUpload.h"
#include "firmware/TextUploadView.h"
#include "support/RealPath.h"
#include "support/SimProgram.h"

extern char** environ;

namespace {

struct Folder {
    std::string path;
    Folder()
    {
        char name[] = "/tmp/servicetool-fw-XXXXXX";
        path = mkdtemp(name) ? name : "/tmp";
    }
    ~Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string Write(const std::string& name, const Bytes& bytes) const
    {
        const std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
        return file;
    }
};

Bytes Image(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 53 + seed + (i >> 9)) & 0xFF);
    return bytes;
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The simulator writes its flash dumps when the port is closed: wait for them to hold `image`.
bool DumpHolds(const std::string& dump, const Bytes& image)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const Bytes flash = ReadFile(dump);
        if (flash.size() >= image.size() && std::equal(image.begin(), image.end(), flash.begin()))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int RunProgram(const std::vector<std::string>& arguments, const std::string& output)
{
    std::vector<char*> argv;
    std::vector<std::string> copy = arguments;
    for (auto& argument : copy)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(FirmwareE2e, PackageProgrammedThroughARealPortIntoBothBoards)
{
    Folder folder;
    const Bytes cpu = Image(5000, 1);
    const Bytes mis = Image(3000, 2);
    folder.Write("27520_CPU_V1.bin", cpu);
    folder.Write("27520_MIS_V1.bin", mis);
    const std::string package = folder.Write("27520_Pack.pkg", {'2', '7', '5', '2', '0', '_', 'M', 'I', 'S', '_', 'V', '1', '.',
                                                               'b', 'i', 'n', '\r', '\n', '2', '7', '5', '2', '0', '_',
                                                               'C', 'P', 'U', '_', 'V', '1', '.', 'b', 'i', 'n', '\r', '\n'});
    const std::string dump = folder.path + "/flash";
    SimProgram sim({"--boot", "--pace", "--baud", "115200", "--power-on-s", "1", "--erase-ms", "300", "--flash-dump", dump});
    ASSERT_TRUE(sim.ok()) << sim.error();
    RealPath path(sim.link());
    path.link.BaudText = "115200";

    TextUploadView view;
    FirmwareChoice choice;
    choice.ChosenFile = package;
    choice.ChosenFolder = folder.path + "/";
    PageImage image;
    FirmwareUpload upload(path.link, view, choice, image);
    upload.Run(true);

    EXPECT_NE(view.log.find(" >> Upload Success \r\n ***** TURN OFF the instrument ***** \r\n"), std::string::npos)
        << view.log;
    EXPECT_NE(view.log.find(" Loaded 20 pages  : OK \r\n"), std::string::npos);
    EXPECT_NE(view.log.find("Prog. N.12/12\r\n"), std::string::npos);
    EXPECT_FALSE(path.port.IsOpen());
    EXPECT_TRUE(view.controlsEnabled);
    Bytes cpuPadded = cpu;
    cpuPadded.resize(20 * 256, 0);
    Bytes misPadded = mis;
    misPadded.resize(12 * 256, 0);
    EXPECT_TRUE(DumpHolds(dump + "-cpu.bin", cpuPadded));
    EXPECT_TRUE(DumpHolds(dump + "-mis.bin", misPadded));
    EXPECT_TRUE(path.dialogs.messages.empty());
}

TEST(FirmwareE2e, Stm32flashWritesAndVerifiesThroughTheSimulator)
{
    if (access("/usr/bin/stm32flash", X_OK) != 0)
        GTEST_SKIP() << "stm32flash is not installed (scripts/setup installs it)";
    Folder folder;
    const Bytes imageBytes = Image(40000, 3);
    const std::string imageFile = folder.Write("image.bin", imageBytes);
    const std::string dump = folder.path + "/flash";
    SimProgram sim({"--boot", "--flash-dump", dump});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string output = folder.path + "/stm32flash.txt";
    const int code = RunProgram({"/usr/bin/stm32flash", "-m", "8n1", "-b", "115200", "-w", imageFile, "-v", sim.link()}, output);
    const Bytes said = ReadFile(output);
    const std::string text(said.begin(), said.end());
    EXPECT_EQ(code, 0) << text.substr(0, 2000);
    EXPECT_NE(text.find("0x0413"), std::string::npos) << "identified by Get ID";
    EXPECT_TRUE(DumpHolds(dump + "-cpu.bin", imageBytes));
}
