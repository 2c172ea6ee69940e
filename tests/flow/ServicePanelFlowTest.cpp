// The Service tab of a started window with the simulated instrument on COMM1 (a VRTA710 with its
// Wi-Fi module): what the window adds to the operations (ServiceOperation), and the state of the
// controls each time the log changed.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "AppRig.h"
#include "core/Bytes.h"
#include "support/FileSizeLimit.h"

namespace {

struct ServiceFlow : ::testing::Test {
    // Get, Set, the tab control and the "COMM" menu enabled, the port closed.
    static constexpr const char* kIdle = "controls 1111, port 0";

    std::vector<std::string> statesAtLog;
    AppRig rig;
    QTemporaryDir files;

    void SetUp() override
    {
        rig.instrument.SetIdentity(SimIdentity{"VRTA710"});
        rig.StartOn("31400-WlanOps\r\n314x0-CalStmp\r\n", kServiceTab);
        ServiceTab& tab = *rig.form->Service;
        QObject::connect(tab.txtService, &QPlainTextEdit::textChanged, &tab, [this] { statesAtLog.push_back(State()); });
    }

    void Command(const std::string& command) { rig.Choose("cmbService", command); }
    // The register entry that starts with `prefix` ("0x12", "All registers").
    void Register(const std::string& prefix)
    {
        auto& list = rig.Control<QComboBox>("cmbService2");
        list.setCurrentIndex(list.findText(QString::fromStdString(prefix), Qt::MatchStartsWith));
        ASSERT_NE(list.currentIndex(), -1) << "no register entry " << prefix;
    }
    void Get() { Click("cmdGetService"); }
    void Set() { Click("cmdSendService"); }
    void Click(const char* button)
    {
        rig.host.RunUntil(rig.host.Now() + 2.0);  // a late answer of the last run is over
        statesAtLog.clear();
        rig.instrument.ClearRecord();
        rig.dialogs.messages.clear();
        rig.dialogs.fileRequests.clear();
        rig.Control<QPushButton>(button).click();
    }

    std::string Log() const { return rig.form->Service->LogText(); }
    std::string Value() const { return rig.Text("txtServiceValue"); }
    void Type(const std::string& text) { rig.Control<QLineEdit>("txtServiceValue").setText(QString::fromStdString(text)); }
    QCheckBox& Function(int n) { return rig.Control<QCheckBox>(("chkFunc" + std::to_string(n)).c_str()); }
    // chkFunc 3..0 as "1001"; Tick("1001") ticks them so.
    std::string Functions()
    {
        std::string ticks;
        for (int n = 3; n >= 0; --n)
            ticks += Function(n).isChecked() ? '1' : '0';
        return ticks;
    }
    void Tick(const std::string& ticks)
    {
        for (int n = 3; n >= 0; --n)
            Function(n).setChecked(ticks[static_cast<std::size_t>(3 - n)] == '1');
    }

    // Payloads the instrument received after the identification, in order.
    std::vector<Bytes> Sent() const
    {
        std::vector<Bytes> sent = rig.instrument.Requests();
        if (!sent.empty() && sent.front() == Bytes{'I'})
            sent.erase(sent.begin());
        return sent;
    }

    std::string State()
    {
        const auto bit = [](bool on) { return on ? '1' : '0'; };
        return std::string("controls ") + bit(rig.Control<QPushButton>("cmdGetService").isEnabled()) +
               bit(rig.Control<QPushButton>("cmdSendService").isEnabled()) + bit(rig.form->SSTab1->isEnabled()) +
               bit(rig.form->mnuSeriale->menuAction()->isEnabled()) + ", port " + bit(rig.port.IsOpen());
    }

    // Get (save) or Set (load) with "All registers", the file dialog answered with `path`.
    void RunAll(bool save, const std::string& path)
    {
        Command("WiFi register");
        Register("All registers");
        rig.dialogs.filePaths.push_back(path);
        save ? Get() : Set();
    }
    std::string Path(const std::string& name) const { return files.filePath(QString::fromStdString(name)).toStdString(); }

    // Value box, Get, Set, function frame, log, register list, date frame: "1 1 1 0 1 1 0".
    std::string Offered()
    {
        std::string shown;
        for (const char* name : {"txtServiceValue", "cmdGetService", "cmdSendService", "fraFunc", "txtService",
                                 "cmbService2", "fraServiceCalibDate"})
            shown += std::string(shown.empty() ? "" : " ") + (Shown(rig.Control<QWidget>(name)) ? '1' : '0');
        return shown;
    }
    QRect Place(const char* name) { return rig.Control<QWidget>(name).geometry(); }
    // The calibration date boxes as "day/month/year"; TypeDate("7/3/24") types them so.
    std::string Date() const
    {
        return rig.Text("txtCalibManDateDay") + "/" + rig.Text("txtCalibManDateMonth") + "/" + rig.Text("txtCalibManDateYear");
    }
    void TypeDate(const QString& date)
    {
        const char* boxes[] = {"txtCalibManDateDay", "txtCalibManDateMonth", "txtCalibManDateYear"};
        for (int i = 0; i < 3; ++i)
            rig.Control<QLineEdit>(boxes[i]).setText(date.section('/', i, i));
    }
};
struct ServicePanel : ServiceFlow {};
struct WifiRegister : ServiceFlow {};

const std::string kEarlierBackup = "Wifi registers VRTA710_00001234,    Date:05.03.25,  fw:1.05\r\n11h real\r\n";

}  // namespace

// What each entry of the register list offers, and the hint it leaves in the log.
TEST_F(ServicePanel, EveryRegisterOffersItsControls)
{
    Command("WiFi register");
    const struct {
        const char* entry;
        const char* offered;  // value box, Get, Set, functions, log, list, date
        std::string hint = "";
    } cases[] = {
        {"All registers", "0 1 1 0 1 1 0"},
        {"0x00", "0 0 1 0 1 1 0"},
        {"0x03", "1 1 1 0 1 1 0"},
        {"0x0F", "0 1 0 0 1 1 0"},
        {"0x09", "1 1 1 0 1 1 0",
         "0  OPEN\r\n1  AUTH_WEP\r\n2  AUTH_WPA_PSK\r\n3  AUTH_WPA2_PSK\r\n4  AUTH_WPA_WPA2_PSK\r\n5  AUTH_WPA2_ENTERPRISE"},
        {"0x12", "1 1 1 0 1 1 0", "4 numeri 0-255 separati da <.>\r\n\r\nDefault:  1.2.3.4"},
        {"0x17", "1 1 1 0 1 1 0", "Default: 2000"},
        {"0x20", "0 1 1 1 0 1 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        Type("left over");
        Register(c.entry);
        EXPECT_EQ(Offered(), c.offered);
        EXPECT_EQ(Log(), c.hint);
        EXPECT_EQ(Value(), "") << "the value box is emptied";
    }
    // The function frame keeps the boxes' ticks.
    Tick("1001");
    Register("0x20");
    EXPECT_EQ(Functions(), "1001");
}

TEST_F(ServicePanel, ChoosingACommandArrangesTheTab)
{
    // The first two and the last entry, and how many: the register list holds 28.
    const auto ends = [](std::vector<std::string> items) {
        return items.size() > 3 ? std::vector<std::string>{items[0], items[1], items.back(), std::to_string(items.size())} : items;
    };
    const std::vector<std::string> registers{"All registers", "0x00 Reboot               W", "0x40 Status                R", "28"};
    const struct {
        const char* from;
        const char* command;
        std::vector<std::string> entries;
        int selected;
        const char* offered;  // value box, Get, Set, functions, log, list, date
        const char* log;
    } cases[] = {
        // The command shows Get and Set after the second list has offered only Get for 0x0F.
        {"WiFi setting", "WiFi register", registers, 5, "0 1 1 0 1 1 0", ""},
        {"WiFi register", "WiFi setting", {"OFF module", "ON module"}, 1, "0 0 1 0 1 1 0", ""},
        {"WiFi register", "Calibration date", {}, -1, "0 1 1 0 1 0 1", "Update calibration date"},
        {"Calibration date", "WiFi register", registers, 5, "0 1 1 0 1 1 0", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.command);
        Command("WiFi register");
        Register("0x20");  // the function frame in place of the log, the buttons disabled
        rig.Control<QWidget>("cmdGetService").setEnabled(false);
        rig.Control<QWidget>("cmdSendService").setEnabled(false);
        Command(c.from);
        Command(c.command);
        EXPECT_EQ(ends(rig.Items("cmbService2")), c.entries);
        EXPECT_EQ(rig.Control<QComboBox>("cmbService2").currentIndex(), c.selected);
        EXPECT_EQ(Offered(), c.offered);
        EXPECT_EQ(Log(), c.log);
        // Set, and Get where it is shown, given back.
        EXPECT_EQ(State().substr(0, 11), c.offered[2] == '1' ? "controls 11" : "controls 01");
    }
}

// List, Get right of it, Set under Get; the date frame under the command list with Get right of it;
// the log under everything.
TEST_F(ServicePanel, ControlsStandWhereEachCommandPutsThem)
{
    rig.form->resize(780, 560);
    rig.form->show();
    const auto rightOf = [](const QRect& a, const QRect& b) { return a.left() > b.right() && a.top() < b.bottom(); };
    const auto under = [](const QRect& a, const QRect& b) { return a.top() > b.bottom(); };
    Command("WiFi register");
    QCoreApplication::processEvents();
    EXPECT_TRUE(rightOf(Place("cmdGetService"), Place("cmbService2")));
    EXPECT_TRUE(under(Place("cmdSendService"), Place("cmdGetService")));
    Command("Calibration date");
    QCoreApplication::processEvents();
    EXPECT_TRUE(under(Place("fraServiceCalibDate"), Place("cmbService")));
    EXPECT_TRUE(rightOf(Place("cmdGetService"), Place("fraServiceCalibDate")));
    EXPECT_TRUE(under(Place("txtService"), Place("fraServiceCalibDate")));
    EXPECT_GT(Place("txtService").height(), 200) << "the log fills the tab below";
}

// Get and Set with the instrument off: the serial error, no message, no file dialog, and the
// controls off while the port is open and on again afterwards.
TEST_F(ServicePanel, SilentInstrumentGivesTheSerialErrorAndRestoresTheControls)
{
    rig.instrument.AddFault(SimFaultRule::Any(SimFault::Silence));
    const struct {
        const char* command;
        const char* entry;
        bool get;
    } cases[] = {
        {"WiFi register", "0x12", true}, {"WiFi register", "All registers", false},
        {"WiFi setting", nullptr, false}, {"Calibration date", nullptr, true}, {"Calibration date", nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + (c.get ? " Get" : " Set"));
        Command(c.command);
        if (c.entry)
            Register(c.entry);
        c.get ? Get() : Set();
        EXPECT_EQ(Log(), " Serial error !!\r\n\r\n  Check connection.");
        EXPECT_EQ(rig.instrument.Requests(), (std::vector<Bytes>{{'I'}}));
        EXPECT_TRUE(rig.dialogs.fileRequests.empty());
        EXPECT_TRUE(rig.dialogs.messages.empty());
        // The log is emptied once the controls are off, the error written before the port closes.
        EXPECT_EQ(statesAtLog, (std::vector<std::string>{"controls 0000, port 0", "controls 0000, port 1"}));
        EXPECT_EQ(State(), kIdle);
    }
}

// Set rewrites the boxes as checked and says the outcome in a message box, the log line coming
// once the box is closed; Get fills the boxes with what the instrument holds.
TEST_F(ServicePanel, CalibrationDateSetAndGetThroughTheBoxes)
{
    Command("Calibration date");
    const struct {
        const char* typed;
        const char* boxes;
        const char* log;
        std::string message;
    } cases[] = {
        {"7/3/24", "07/03/24", "Calibration DATE  updated", "DATE UPDATED: Calibration DATE  updated !!!"},
        {"0/13/2024", "00/13/2024",
         "Wrong  DAY  value ...  [1-31]\r\nWrong  MOUTH  value ...  [1-12]\r\nWrong  YEAR  value ...  [13-50]\r\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.boxes);
        std::vector<std::string> logWhileAsked;
        rig.dialogs.onMessage = [&] { logWhileAsked.push_back(Log()); };
        TypeDate(c.typed);
        Set();
        EXPECT_EQ(Date(), c.boxes);
        EXPECT_EQ(Log(), c.log);
        std::string messages;
        for (const auto& m : rig.dialogs.messages)
            messages += m.title + ": " + m.text;
        EXPECT_EQ(messages, c.message);
        EXPECT_EQ(logWhileAsked, std::vector<std::string>(c.message.empty() ? 0 : 1, ""));
        EXPECT_EQ(State(), kIdle);
    }
    TypeDate("x/x/x");
    Get();
    EXPECT_EQ(Date(), "7/3/24");
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(State(), kIdle);
}

// Get and Set of one register or module state through the tab: the value box (when shown) and the
// function boxes make the request and show what came back.
TEST_F(WifiRegister, TheBoxesMakeTheRequestAndShowTheResult)
{
    const struct {
        const char* entry;
        bool get;
        const char* typed;
        const char* ticked;  // chkFunc 3..0
        Bytes sent;
        const char* value;      // the value box afterwards
        const char* functions;  // chkFunc 3..0 afterwards
    } cases[] = {
        {"0x12", true, "old", "0010", {'1', 0x12}, "192.168.4.1", "0010"},
        {"0x04", true, "old", "0010", {'1', 0x04}, "old", "0010"},  // no value box
        {"0x20", true, "old", "0010", {'1', 0x20}, "old", "1101"},
        {"0x13", false, " 255. 255.255.0 ", "0000", {'0', 0x13, 255, 255, 255, 0}, "255.255.255.0", "0000"},
        {"0x20", false, "", "1001", {'0', 0x20, 0, 0, 16, 1}, "", "1001"},
        {"OFF module", false, "", "0000", {'2', 0}, "", "0000"},
        {"ON module", false, "", "0000", {'2', 1}, "", "0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + (c.get ? " Get" : " Set"));
        Command(c.entry[0] == '0' ? "WiFi register" : "WiFi setting");
        Register(c.entry);
        Type(c.typed);
        Tick(c.ticked);
        c.get ? Get() : Set();
        EXPECT_EQ(Sent(), std::vector<Bytes>{c.sent});
        EXPECT_EQ(Value(), c.value);
        EXPECT_EQ(Functions(), c.functions);
        EXPECT_EQ(State(), kIdle);
    }
    EXPECT_TRUE(rig.instrument.WifiModuleOn());
}

// Get with "All registers" asks where to save, in the program's folder under the proposed name,
// ticks the function boxes as register 0x20 says and names the file saved; Set asks which file to
// load.
TEST_F(WifiRegister, TheFileDialogsAndWhatTheTabShows)
{
    Tick("0010");
    RunAll(true, Path("VRTA710_00001234_wifi.txt"));
    ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(rig.dialogs.fileRequests[0].folder, rig.folder.path().toStdString());
    EXPECT_EQ(rig.dialogs.fileRequests[0].suggestedName, "VRTA710_00001234_wifi.txt");
    EXPECT_TRUE(rig.dialogs.fileRequests[0].confirmOverwrite);
    EXPECT_EQ(Functions(), "1101");
    EXPECT_EQ(Log(), "Saved WiFi registers\r\nVRTA710_00001234_WIFI.TXT");
    EXPECT_EQ(State(), kIdle);

    RunAll(false, Path("VRTA710_00001234_wifi.txt"));
    ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(rig.dialogs.fileRequests[0].folder, rig.folder.path().toStdString());
    EXPECT_EQ(Log(), "Write #24 WiFi registers");
    EXPECT_EQ(State(), kIdle);
}

// A disk that fills while the registers are read: the log names the file and why it could not be
// written, no register is read after that, and the earlier backup stays as it was.
TEST_F(WifiRegister, ReadAllOnAFullDiskKeepsTheEarlierBackupAndSaysSo)
{
    const std::string path = Path("VRTA710_00001234_wifi.txt");
    // Size allowed, registers read before it is reached: no room for the header; 26h ends past 300; one byte short.
    const std::pair<rlim_t, std::size_t> cases[] = {{40, 0}, {300, 17}, {423, 28}};
    for (const auto& [limit, read] : cases) {
        SCOPED_TRACE(limit);
        WriteFileText(path, kEarlierBackup);
        {
            FileSizeLimit full(limit);
            ASSERT_TRUE(full.ok());
            RunAll(true, path);
        }
        EXPECT_EQ(Sent().size(), read);
        EXPECT_EQ(Log(), "ERROR writing file " + path + "\r\n  " + std::strerror(EFBIG));
        EXPECT_EQ(ReadFileText(path), kEarlierBackup);
        EXPECT_EQ(FileNamesIn(files.path().toStdString()), std::vector<std::string>{"VRTA710_00001234_wifi.txt"});
        EXPECT_EQ(State(), kIdle);
    }
    RunAll(true, path);  // with room again the same name takes the new backup
    EXPECT_EQ(ReadFileText(path).size(), 424u);
}
