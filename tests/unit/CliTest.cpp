// servicetool-cli's own pieces, and its commands in virtual time against the simulated instrument:
// the command line, the port it names, the log a terminal shows, and the operations of the window
// run from a command: the same files as the window, questions refused before anything is written.
// Ctrl-C through a real port and a real signal: CliProgram.CtrlCStopsABackupAndLeavesWholeFiles,
// CliProgram.CtrlCDuringAnExchangeStopsTheCommandAtOnce.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <functional>

#include "params/ParamSheet.h"
#include "support/CliRig.h"
#include "support/Files.h"
#include "cli/CliCommands.h"
#include "cli/CliJson.h"
#include "cli/CliLog.h"
#include "cli/CliOptions.h"
#include "cli/CliPort.h"
#include "core/Platform.h"
#include "core/ResultCodes.h"

namespace {

std::string Refusal(const std::string& line)
{
    const CliParseResult parsed = ParseCliArguments(CliRig::Words(line));
    return parsed.options ? "<accepted>" : parsed.error;
}

}  // namespace

// ------------------------------------------------------------------------- the command line

// What each command takes; anything else is refused before the port is opened.
TEST(CliCommandLine, AcceptedAndRefusedLines)
{
    for (const char* line : {"info", "--port COM3 --json param get 12 --family 31420", "param set 12 -300",
                             "backup --eeprom --flash 0-27 --out /tmp", "restore a.epr b.fla --yes",
                             "flash --package p.pkg --link-57600", "flash a.bin --verify", "flash --package p.pkg --verify",
                             "wifi set 0x12 1.2.3.4", "param dump --family 31420 --out sheet.csv"})
        EXPECT_EQ(Refusal(line), "<accepted>") << line;
    for (const char* line :
         {"", "dance", "info --colour", "info extra", "param get", "param read 12", "param dump extra", "param diff",
          "param get 12 --out sheet.csv", "param diff sheet.csv --out other.csv", "param get 12a", "param set 12",
          "param get 12 --family 31410", "backup --flash 27", "backup --flash 0-", "backup --flash 0-27 --flash-mis-only",
          "backup --port", "restore", "restore a.epr b.fla c.fla", "restore --clear-all a.epr", "info --yes",
          "backup --verify", "flash", "flash a.bin --link-57600", "flash --package p.pkg a.bin", "caldate set", "caldate",
          "wifi set 0x12", "wifi reboot", "--baud 9600 info"})
        EXPECT_NE(Refusal(line), "<accepted>") << line;
    EXPECT_EQ(Refusal("flash a.bin --link-57600"), "--link-57600 belongs to 'flash --package'");
}

TEST(CliCommandLine, PortsAreComNumbersOrDevicePaths)
{
    const struct {
        const char* option;
        int saved;
        int number;
        const char* device;
        bool refused;
    } cases[] = {
        {"COM4", 1, 4, "", false},       {"com15", 1, 15, "", false}, {"COMM12", 1, 12, "", false},
        {"7", 1, 7, "", false},          {"COM16", 1, 0, "", true},   {"COM0", 1, 0, "", true},
        {"COMx", 1, 0, "", true},        {"/dev/ttyUSB0", 1, 1, "/dev/ttyUSB0", false},
        {"", 7, 7, "", false},           {"", 99, 1, "", false},      {"", 0, 1, "", false},
    };
    for (const auto& c : cases) {
        const CliPortChoice choice = ChooseCliPort(c.option, c.saved);
        EXPECT_EQ(!choice.error.empty(), c.refused) << c.option;
        if (!c.refused) {
            EXPECT_EQ(choice.number, c.number) << c.option;
            EXPECT_EQ(choice.device, c.device) << c.option;
        }
    }
}

// A line is printed once it cannot change any more; the page counter never is (not a terminal).
TEST(CliTerminalLog, PrintsEachFinishedLineOnceAndLeavesOutTheCounter)
{
    std::FILE* sink = std::tmpfile();
    CliLog log(sink, false);
    const std::string s = "VRTA708  SN: 00001234\r\nDownload  FLASH 8M ...";
    log.Update("115200");
    log.Update("VRTA708  SN.00001234\r\n");
    log.Update("VRTA708  SN: 00001234\r\n");
    for (int page = 3; page <= 5; ++page)
        log.Update(s + "\r\n  Page N°: " + std::to_string(page) + "/5");
    // The title line before the counter may still be completed: only the line before it is out.
    EXPECT_EQ(log.Printed(), "VRTA708  SN: 00001234\n");
    log.Update(s + "  OK\r\n NAME_0003-0005.FLA");
    log.PrintLine("[Routine <cmdFlash>] text");
    log.Finish();
    EXPECT_EQ(log.Printed(),
              "VRTA708  SN: 00001234\n[Routine <cmdFlash>] text\nDownload  FLASH 8M ...  OK\n NAME_0003-0005.FLA\n");

    // A log emptied and written again is printed again.
    CliLog again(sink, false);
    again.Update("A\r\nB\r\nC");
    again.Update("");
    again.Update("A\r\nX\r\nY\r\n");
    again.Finish();
    EXPECT_EQ(again.Printed(), "A\nA\nX\nY\n");
    std::fclose(sink);
}

// On a terminal the line still changing is one progress line, drawn over and never wider than the
// terminal; the finished lines are printed above it.
TEST(CliTerminalLog, OnATerminalTheCounterIsOneLineDrawnOver)
{
    std::FILE* sink = std::tmpfile();
    CliLog log(sink, true, 40);
    log.SetTransferSize(4096.0 * 100);
    log.Update("ID\r\nDownload  FLASH 8M ...\r\n  Page N°: 0/99");
    log.SetProgress(0, 10.0);
    log.Update("ID\r\nDownload  FLASH 8M ...\r\n  Page N°: 49/99");
    log.SetProgress(50, 12.0);
    log.HideProgress();
    log.Update("ID\r\nDownload  FLASH 8M ...  OK\r\n NAME.FLA");
    log.Finish();
    std::rewind(sink);
    std::string screen;
    for (int c; (c = std::fgetc(sink)) != EOF;)
        screen += static_cast<char>(c);
    std::fclose(sink);
    const std::string clear = "\r\033[K";
    EXPECT_EQ(screen, "ID\n"                                       // printed once a line follows it
                      "  Page N°: 0/99" + clear +                  // no bar yet
                      "  Page N°: 0/99  0%" + clear +              // no rate before there is one
                      "  Page N°: 49/99  0%" + clear +
                      "  Page N°: 49/99  50%  100.0 KiB/s  0:0" + clear +  // 39 characters at most
                      "  Page N°: 49/99" + clear +                 // the bar hidden
                      " NAME.FLA" + clear +
                      "Download  FLASH 8M ...  OK\n NAME.FLA\n");
    EXPECT_EQ(log.Printed(), "ID\nDownload  FLASH 8M ...  OK\n NAME.FLA\n");
}

TEST(CliJson, TextsAreQuotedAsJson)
{
    JsonObject inner;
    inner.Add("name", "VRTA708").Add("n", 3);
    JsonObject object;
    object.Add("text", "a\"b\\c\r\n\x01 Page N°").Add("ok", true).Add("inner", inner).Add("files", std::vector<std::string>{"x", "y"});
    EXPECT_EQ(object.Text(),
              "{\"text\":\"a\\\"b\\\\c\\r\\n\\u0001 Page N°\",\"ok\":true,\"inner\":{\"name\":\"VRTA708\",\"n\":3},"
              "\"files\":[\"x\",\"y\"]}");
}

// ------------------------------------------------------------------------- the operations

// The window's questions are refused without --yes, before the first write; --yes puts the pages
// of an image that does not start at page 0 at its own page numbers.
TEST(CliRestore, QuestionsNeedYesAndNothingIsWrittenWithoutIt)
{
    CliRig cli;
    const std::string fla = cli.Path("X_1_fwV1_250101000000_0005-0006.fla");
    Bytes pages(2 * 4096);
    for (std::size_t i = 0; i < pages.size(); ++i)
        pages[i] = static_cast<std::uint8_t>(i * 7 + 1);
    WriteFileBytes(fla, pages);
    const Bytes before = cli.instrument.ReadFlash(5 * 4096, pages.size());

    EXPECT_EQ(cli.Run("restore " + fla), code::kRefused);
    // Only the confirmation was asked: the page-number question comes after it.
    EXPECT_NE(cli.Printed().find("[Warning] This operation WRITE "), std::string::npos) << cli.Printed();
    EXPECT_EQ(cli.Printed().find("[PAGE NUMBER WARNING]"), std::string::npos) << cli.Printed();
    EXPECT_NE(cli.Printed().find("nothing was written; give --yes to confirm"), std::string::npos) << cli.Printed();
    EXPECT_EQ(cli.instrument.CountRequests(0xE6), 0u);
    EXPECT_EQ(cli.instrument.CountRequests('e'), 0u);
    EXPECT_EQ(cli.instrument.ReadFlash(5 * 4096, pages.size()), before);

    EXPECT_EQ(cli.Run("restore --yes " + fla), 0) << cli.Printed();
    EXPECT_EQ(cli.instrument.ReadFlash(5 * 4096, pages.size()), pages);
    EXPECT_EQ(cli.instrument.CountRequests(0xE6), 8u);

    // A page failing eleven times in a row is not tried again: the retry question is refused.
    cli.instrument.ClearRecord();
    cli.instrument.AddFault(SimFaultRule::FlashPage(6, SimFault::Busy));
    EXPECT_EQ(cli.Run("restore --yes " + fla), code::kMalformed) << cli.Printed();
    const std::string said = "page 6 failed more than 10 times in a row: the upload stopped there";
    EXPECT_NE(cli.Printed().find("[RETRY] Max RETRY ! "), std::string::npos) << cli.Printed();
    EXPECT_NE(cli.Printed().find("servicetool-cli: " + said + "\n"), std::string::npos) << cli.Printed();
    EXPECT_NE(cli.result.Text().find("\"error\":\"" + said + "\""), std::string::npos) << cli.result.Text();
    EXPECT_EQ(cli.instrument.CountRequests('I'), 1u) << "no second identification";
    EXPECT_EQ(cli.instrument.CountRequests(0xE6), 4u + 11u);
}

// One register read and written as the window's list names it (0x12 or 12h), a register the list
// offers only for reading and functions no box stands for refused before anything is sent, and the
// register file saved into a folder under the name the window proposes and loaded back.
TEST(CliWifi, RegistersOfTheModuleAndTheRegisterFile)
{
    CliRig cli;
    cli.instrument.SetIdentity(SimIdentity{"VRTA710"});
    ASSERT_EQ(cli.Run("wifi get 0x12"), 0) << cli.Printed();
    EXPECT_EQ(cli.output, "192.168.4.1\n");
    EXPECT_EQ(cli.Run("wifi set 12h 10.1.2.3"), 0) << cli.Printed();
    cli.instrument.ClearRecord();
    EXPECT_EQ(cli.Run("wifi set 0x04 x"), cli_exit::kUsage);
    EXPECT_NE(cli.Printed().find("0x04 Firmware vesion      R cannot be written"), std::string::npos) << cli.Printed();
    EXPECT_EQ(cli.instrument.CountRequests('0'), 0u);
    ASSERT_EQ(cli.Run("wifi get 12h"), 0) << cli.Printed();
    EXPECT_EQ(cli.output, "10.1.2.3\n");
    // The functions register takes the bits of its four boxes only.
    EXPECT_EQ(cli.Run("wifi set 0x20 0.0.49.17"), cli_exit::kUsage);
    EXPECT_NE(cli.Printed().find("0x20 takes four numbers whose only bits are those of the module's functions "
                                 "(0.0.17.17 enables all four), not 0.0.49.17\n"),
              std::string::npos) << cli.Printed();
    EXPECT_EQ(cli.instrument.CountRequests('0'), 0u);
    EXPECT_EQ(cli.Run("wifi set 0x20 0.0.17.17"), 0) << cli.Printed();
    ASSERT_EQ(cli.Run("wifi get 0x20"), 0);
    EXPECT_EQ(cli.output, "0.0.17.17\n");

    ASSERT_EQ(cli.Run("wifi save " + cli.Path()), 0) << cli.Printed();
    EXPECT_NE(cli.Printed().find("Saved WiFi registers\nVRTA710_00001234_WIFI.TXT"), std::string::npos) << cli.Printed();
    const std::string saved = cli.Path("VRTA710_00001234_wifi.txt");
    EXPECT_TRUE(cli.JsonHas("\"file\":" + JsonObject::Quote(saved))) << cli.result.Text();
    EXPECT_EQ(FileNamesIn(cli.Path()), std::vector<std::string>{"VRTA710_00001234_wifi.txt"});
    EXPECT_NE(ReadFileText(saved).find("\r\n12h 10.1.2.3\r\n"), std::string::npos) << ReadFileText(saved);
    EXPECT_EQ(cli.Run("wifi set 0x12 1.2.3.4"), 0);
    EXPECT_EQ(cli.Run("wifi load " + saved), 0) << cli.Printed();
    EXPECT_NE(cli.Printed().find("Write #24 WiFi registers"), std::string::npos) << cli.Printed();
    ASSERT_EQ(cli.Run("wifi get 0x12"), 0);
    EXPECT_EQ(cli.output, "10.1.2.3\n");
}

// ------------------------------------------------------------------------- failures

namespace {

std::string JsonError(const CliRig& cli)
{
    const std::string text = cli.result.Text();
    const std::string key = "\"error\":";
    const std::size_t at = text.find(key);
    if (at == std::string::npos)
        return "<none>";
    // The quoted text runs to the first quote that is not escaped.
    std::size_t end = at + key.size() + 1;
    while (end < text.size() && text[end] != '"')
        end += text[end] == '\\' ? 2 : 1;
    return text.substr(at + key.size(), end + 1 - at - key.size());
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

// Every failure ends with what failed on standard error, and --json carries the same text: the
// window's own text where it shows one, else the command as given and what the link received.
TEST(CliFailures, EachSaysWhatFailedOnStandardErrorAndInJson)
{
    const auto fault = [](std::uint8_t command, SimFault kind) {
        return [=](CliRig& cli) { cli.instrument.AddFault(SimFaultRule::Command(command, kind)); };
    };
    const struct {
        const char* line;
        std::function<void(CliRig&)> setUp;
        int status;
        std::string printedEnd;  // the last lines on standard error
        std::string error;       // the JSON's "error"
    } cases[] = {
        // The window shows nothing for these.
        {"param set 5 9", fault('i', SimFault::Nak), code::kNoFrame,
         "servicetool-cli: param set 5 9: the instrument answered NAK\n", "param set 5 9: the instrument answered NAK"},
        {"param set 5 9", [](CliRig& cli) { cli.instrument.SetParamReadBackOverride(5, "7"); }, code::kReadBackDiffers,
         "servicetool-cli: param set 5 9: the value read back differs from the value written (read back: 7)\n",
         "param set 5 9: the value read back differs from the value written (read back: 7)"},
        {"param get 5", fault('l', SimFault::NotOk), code::kNotOk,
         "servicetool-cli: param get 5: the instrument answered not OK (Rx: 06010531BF0A04)\n",
         "param get 5: the instrument answered not OK (Rx: 06010531BF0A04)"},
        {"param get 5", fault('l', SimFault::Busy), code::kBusy,
         "servicetool-cli: param get 5: the instrument is busy (Rx: 06010532BE0A04)\n",
         "param get 5: the instrument is busy (Rx: 06010532BE0A04)"},
        {"param get 5", fault('l', SimFault::Truncated), code::kNoFrame,
         "servicetool-cli: param get 5: no complete answer (Rx: 06010630)\n",
         "param get 5: no complete answer (Rx: 06010630)"},
        {"caldate set 7/3/24/1", [](CliRig&) {}, cli_exit::kUsage, "servicetool-cli: caldate set: DD/MM/YY, not 7/3/24/1\n",
         "caldate set: DD/MM/YY, not 7/3/24/1"},
        // The window's own text.
        {"param get 205", [](CliRig&) {}, code::kRefused, "TYPE out of range (0-204)\n", "TYPE out of range (0-204)"},
        {"info", fault('I', SimFault::Silence), code::kNoFrame, " Serial error !!\n\n  Check connection.\n",
         " Serial error !!\n\n  Check connection."},
        // The port.
        {"info", [](CliRig& cli) { cli.port.SetExistingPorts({}); }, cli_exit::kNoSuchPort,
         "servicetool-cli: info: COM1 cannot be opened: No such file or directory\n",
         "info: COM1 cannot be opened: No such file or directory"},
    };
    for (const auto& c : cases) {
        CliRig cli;
        c.setUp(cli);
        EXPECT_EQ(cli.Run(c.line), c.status) << c.line << "\n" << cli.Printed();
        EXPECT_TRUE(EndsWith(cli.Printed(), c.printedEnd)) << c.line << "\n" << cli.Printed();
        EXPECT_EQ(JsonError(cli), JsonObject::Quote(c.error)) << c.line;
    }
}

// Writing a register file back stops at the first register the module refuses and says so: the
// window's last line names the register, as it does while writing.
TEST(CliFailures, RegisterFileWriteSaysAtWhichRegisterItFailed)
{
    CliRig cli;
    cli.instrument.SetIdentity(SimIdentity{"VRTA710"});
    const std::string file = cli.Path("VRTA710_00001234_wifi.txt");
    ASSERT_EQ(cli.Run("wifi save " + file), 0) << cli.Printed();
    cli.instrument.AddFault(SimFaultRule::WifiRegister(3, SimFault::Nak));

    EXPECT_EQ(cli.Run("wifi load " + file), code::kNoFrame) << cli.Printed();
    const std::string why = "wifi load " + file + ": writing register 3h failed: the instrument answered NAK";
    EXPECT_TRUE(EndsWith(cli.Printed(), "Writing register 3h\nservicetool-cli: " + why + "\n")) << cli.Printed();
    EXPECT_EQ(JsonError(cli), JsonObject::Quote(why));
}

// A run the window ends without a word still says why, naming the command as given; nothing is sent.
TEST(CliFailures, AQuietEndSaysWhy)
{
    CliRig cli;
    cli.instrument.SetIdentity(SimIdentity{"VRTA710"});
    const std::string noFolder = cli.Path() + "/no/such/x_wifi.txt";
    const std::string why = std::strerror(ENOENT);
    const struct {
        std::string line;
        std::string said;
    } cases[] = {
        {"wifi set 0x12 1.2.3.256", "wifi set 0x12 1.2.3.256: the value 1.2.3.256 cannot be sent to register 12h"},
        {"wifi save " + noFolder, "wifi save " + noFolder + ": the register file " + noFolder + " cannot be created: " + why},
    };
    for (const auto& c : cases) {
        cli.instrument.ClearRecord();
        EXPECT_EQ(cli.Run(c.line), code::kRefused) << c.line << "\n" << cli.Printed();
        EXPECT_TRUE(EndsWith(cli.Printed(), "servicetool-cli: " + c.said + "\n")) << c.line << "\n" << cli.Printed();
        EXPECT_EQ(JsonError(cli), JsonObject::Quote(c.said)) << c.line;
        EXPECT_EQ(cli.instrument.Requests(), std::vector<Bytes>{Bytes{'I'}}) << c.line;
    }
}

// Files and folders named on the command line are checked before the instrument is asked anything.
TEST(CliFiles, RefusedBeforeTheInstrumentIsAsked)
{
    CliRig cli;
    const std::string folder = cli.Path();
    const std::string epr = WriteFileBytes(folder + "/A_1_fwV1_250101000000.epr", Bytes(2000, 0x11));
    const std::string fla = WriteFileBytes(folder + "/A_1_fwV1_250101000000_0000-0000.fla", Bytes(4096, 0x22));
    const std::string other = WriteFileBytes(folder + "/B_1_fwV1_250101000000_0000-0000.fla", Bytes(4096, 0x33));
    const std::string missingFolder = folder + "/missing";
    const struct {
        std::string line;
        std::string said;
    } cases[] = {
        {"backup --out " + missingFolder, "--out: no folder named " + missingFolder},
        {"restore " + epr + " " + other + " --yes",
         other + " is not the flash image that belongs to " + epr + " (that is " + fla + ")"},
        {"restore " + epr + " " + folder + "/A_1_fwV1_250101000000_0000-0001.fla --yes",
         "no file named " + folder + "/A_1_fwV1_250101000000_0000-0001.fla"},
        {"restore " + folder + "/C.epr --yes", "no file named " + folder + "/C.epr"},
        {"restore " + folder + "/C_0000-0000.fla --yes", "no file named " + folder + "/C_0000-0000.fla"},
    };
    for (const auto& c : cases) {
        const std::size_t asked = cli.instrument.Requests().size();
        EXPECT_EQ(cli.Run(c.line), cli_exit::kUsage) << c.line << "\n" << cli.Printed();
        EXPECT_TRUE(EndsWith(cli.Printed(), "servicetool-cli: " + c.said + "\n")) << c.line << "\n" << cli.Printed();
        EXPECT_EQ(JsonError(cli), JsonObject::Quote(c.said)) << c.line;
        EXPECT_EQ(cli.instrument.Requests().size(), asked) << c.line;
    }
    EXPECT_FALSE(std::filesystem::exists(missingFolder));

    // The image that belongs to the EEPROM image is written with it.
    EXPECT_EQ(cli.Run("restore " + epr + " " + fla + " --yes"), 0) << cli.Printed();
    EXPECT_EQ(cli.instrument.Eeprom(), Bytes(2000, 0x11));
    EXPECT_EQ(cli.instrument.ReadFlash(0, 4096), Bytes(4096, 0x22));
}

// A folder named in the technician's language (UTF-8 on the command line; on Windows written with
// its drive letter and back slashes, as typed there): backup and restore find, read and write
// their files there. (Flashing from such a folder: the FirmwareUpload tests.)
TEST(CliFiles, AFolderNamedWithAccentedLetters)
{
    CliRig cli;
    cli.instrument.SetIdentity(SimIdentity{"VRTA710"});
    std::string folder = cli.Path("Strumenti \xC3\xA0 Bol\xC3\xB2gna");
    if (kThisOs == OsFamily::Windows)
        std::replace(folder.begin(), folder.end(), '/', '\\');
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(folder)));

    ASSERT_EQ(cli.Run({"backup", "--eeprom", "--flash", "2-3", "--out", folder}), 0) << cli.Printed();
    const std::string base = "VRTA710_00001234_fwV1.05_251231235950";
    const std::string epr = folder + "/" + base + ".epr";
    const std::string fla = folder + "/" + base + "_0002-0003.fla";
    EXPECT_EQ(cli.output, epr + "\n" + fla + "\n");
    EXPECT_EQ(ReadFileBytes(fla), cli.instrument.ReadFlash(2 * 4096, 2 * 4096));
    WriteFileBytes(epr, Bytes(2000, 0x5A));
    EXPECT_EQ(cli.Run({"restore", epr, fla, "--yes"}), 0) << cli.Printed();
    EXPECT_EQ(cli.instrument.Eeprom(), Bytes(2000, 0x5A));
    EXPECT_EQ(FileNamesIn(folder), (std::vector<std::string>{base + ".epr", base + "_0002-0003.fla"}));
}

// What the configuration file leaves hidden in the window is refused before the port is opened,
// naming the lines to add; what it switches on runs.
TEST(CliFeatures, HiddenInTheWindowIsRefusedFromTheCommandLine)
{
    using F = Feature;
    const struct {
        const char* line;
        std::vector<Feature> on;
        const char* missing;  // "": runs
    } cases[] = {
        {"info", {}, ""},
        {"backup", {}, ""},
        {"flash x.bin", {}, ""},
        {"param get 5", {F::FlashOpen, F::EeWipeFull, F::WlanOps, F::CalStmp}, "31400-paramedit"},
        {"param set 5 1", {F::ParamEdit}, ""},
        {"param dump", {}, "31400-paramedit"},
        {"backup --eeprom", {F::ParamEdit}, "31400-flashopen"},
        {"backup --flash 0-3", {}, "31400-flashopen"},
        {"backup --flash-mis-only", {F::FlashOpen}, ""},
        {"backup --flash-mis-only", {F::CalStmp}, "31400-flashopen"},
        {"restore a.epr --yes", {F::EeWipeFull}, "31400-flashopen"},
        {"restore --clear-all --yes", {F::FlashOpen}, "31400-EeWipeFull"},
        {"restore --clear-all --yes", {F::EeWipeFull}, "31400-flashopen"},
        {"restore --clear-all --yes", {}, "31400-flashopen and 31400-EeWipeFull"},
        {"caldate get", {F::WlanOps}, "314x0-CalStmp"},
        {"caldate set 01/02/26", {F::CalStmp}, ""},
        {"wifi get 0x10", {F::CalStmp}, "31400-WlanOps"},
        {"wifi on", {F::WlanOps}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        CliRig cli;
        cli.features = c.on;
        cli.instrument.AddFault(SimFaultRule::Any(SimFault::Silence));  // a run ends at its first request
        const int status = cli.Run(c.line);
        const bool refused = std::string(c.missing) != "";
        EXPECT_EQ(status == cli_exit::kSwitchedOff, refused) << status << "\n" << cli.Printed();
        EXPECT_EQ(cli.instrument.Requests().empty(), refused || std::string(c.line).rfind("flash", 0) == 0 ||
                                                         std::string(c.line).rfind("restore a.epr", 0) == 0);
        if (refused) {
            EXPECT_NE(cli.Printed().find("the configuration file Config314x0.cfg needs the line " + std::string(c.missing) +
                                         "\n"),
                      std::string::npos)
                << cli.Printed();
            EXPECT_TRUE(cli.JsonHas("switched off")) << cli.result.Text();
        }
    }
}

// ------------------------------------------------------------------------- parameter sheets

// A sheet saved, compared with the unchanged instrument and after one write; a sheet of the other
// family refused before anything is read.
TEST(CliParamSheet, DumpDiffAndTheirRefusals)
{
    CliRig cli;
    const std::string sheet = cli.Path("VRTA708_sheet.csv");
    ASSERT_EQ(cli.Run("param dump --out " + sheet), 0) << cli.Printed();
    EXPECT_EQ(cli.output, sheet + "\n");
    const ParsedSheet saved = ParseSheetCsv(ReadFileText(sheet));
    ASSERT_TRUE(saved.sheet) << saved.problem;
    EXPECT_FALSE(std::filesystem::exists(sheet + ".part"));

    EXPECT_EQ(cli.Run("param diff " + sheet), 0) << cli.Printed();
    EXPECT_EQ(cli.output, "");
    EXPECT_NE(cli.Printed().find("0 of 205 parameters differ from the sheet"), std::string::npos);

    ASSERT_EQ(cli.Run("param set 12 300"), 0);
    EXPECT_EQ(cli.Run("--json param diff " + sheet), 1) << cli.Printed();
    EXPECT_TRUE(cli.JsonHas("\"differences\":[{\"index\":12,\"description\":\"---\",\"sheet\":\"0\",\"instrument\":\"300\"}]"))
        << cli.result.Text();
    EXPECT_EQ(cli.Run("param diff " + sheet), 1);
    EXPECT_EQ(cli.output, "index,description,sheet,instrument\n12,---,0,300\n");

    const std::string other = cli.Path("other_family.csv");
    ASSERT_EQ(cli.Run("param dump --family 31420 --out " + other), 0) << cli.Printed();
    const std::size_t requests = cli.instrument.CountRequests('l');
    EXPECT_EQ(cli.Run("param diff " + other), code::kRefused) << cli.Printed();
    EXPECT_EQ(cli.instrument.CountRequests('l'), requests);
    EXPECT_NE(cli.Printed().find("the sheet holds parameters of the 31420 family, the instrument's are of the 31400 "
                                 "family: nothing compared"),
              std::string::npos)
        << cli.Printed();

    WriteFileText(cli.Path("not_a_sheet.csv"), "index,description,value\r\n0,SN,1\r\n");
    EXPECT_EQ(cli.Run("param diff " + cli.Path("not_a_sheet.csv")), cli_exit::kUsage);
    EXPECT_NE(cli.Printed().find("not_a_sheet.csv is not a parameter sheet: its first line is not"), std::string::npos);
}

// Without --out the sheet is standard output; with --json one object holds every parameter, a
// refused index with its reason.
TEST(CliParamSheet, StandardOutputAndJson)
{
    CliRig cli;
    cli.instrument.AddFault(SimFaultRule::Command('l', SimFault::NotOk).After(7).Times(1));
    ASSERT_EQ(cli.Run("param dump"), 0) << cli.Printed();
    EXPECT_EQ(cli.output.rfind("# VRTA708 00001234 1.05 2025-12-31T23:59:5", 0), 0u) << cli.output.substr(0, 80);
    EXPECT_NE(cli.output.find("\r\nindex,description,value\r\n0,SN,00001234\r\n"), std::string::npos);
    EXPECT_NE(cli.output.find("\r\n# refused 7: the instrument answered not OK"), std::string::npos);
    EXPECT_NE(cli.Printed().find("index 7: the instrument answered not OK"), std::string::npos) << cli.Printed();

    cli.instrument.AddFault(SimFaultRule::Command('l', SimFault::NotOk).After(0).Times(1));
    ASSERT_EQ(cli.Run("--json param dump"), 0) << cli.Printed();
    EXPECT_TRUE(cli.JsonHas("\"family\":\"31400\",\"parameters\":[{\"index\":0,\"description\":\"SN\",\"reason\":\"the "
                            "instrument answered not OK"))
        << cli.result.Text().substr(0, 300);
    EXPECT_TRUE(cli.JsonHas("{\"index\":204,"));
}
