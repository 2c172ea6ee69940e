#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ServiceRig.h"

namespace {

struct ServicePanel : ServiceFlow {
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
    // The calibration date boxes, day/month/year.
    std::string Date() const
    {
        return rig.Text("txtCalibManDateDay") + "/" + rig.Text("txtCalibManDateMonth") + "/" + rig.Text("txtCalibManDateYear");
    }
    void TypeDate(const std::string& day, const std::string& month, const std::string& year)
    {
        rig.Control<QLineEdit>("txtCalibManDateDay").setText(QString::fromStdString(day));
        rig.Control<QLineEdit>("txtCalibManDateMonth").setText(QString::fromStdString(month));
        rig.Control<QLineEdit>("txtCalibManDateYear").setText(QString::fromStdString(year));
    }
};

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
    const std::vector<std::string> registers{
        "All registers", "0x00 Reboot               W", "0x03 Serial speed         R/W",
        "0x04 Firmware vesion      R", "0x09 AP Authentication mode R/W", "0x0F AP MAC address       R",
        "0x10 AP SSID              R/W", "0x11 AP Password          R/W", "0x12 AP IP Address        R/W",
        "0x13 AP subnet mask       R/W", "0x17 AP TCP port          R/W", "0x1F Station MAC address  R",
        "0x20 Module funtionality  R/W", "0x21 Station Authentication mode R/W", "0x22 Station SSID   R/W",
        "0x23 Station Password     R/W", "0x24 Station IP mode      R/W", "0x25 Station IP Address   R/W",
        "0x26 Station subnet mask  R/W", "0x27 Station DNS server   R/W", "0x28 Station MQTT server  R/W",
        "0x29 Station MQTT port    R/W", "0x2A Station MQTT topic    R/W", "0x2C Station MQTT publish QOS       R/W",
        "0x2D Station MQTT subscrive QOS     R/W", "0x2E Station connect timeout (s)    R/W",
        "0x2F Station reconnect interval (s)  R/W", "0x40 Status                R"};
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
        EXPECT_EQ(rig.Items("cmbService2"), c.entries);
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
        const char* typed[3];
        std::optional<SimFaultRule> fault;
        const char* boxes;
        const char* log;
        std::string message;
    } cases[] = {
        {{"7", "3", "24"}, std::nullopt, "07/03/24", "Calibration DATE  updated", "DATE UPDATED: Calibration DATE  updated !!!"},
        {{"0", "13", "2024"}, std::nullopt, "00/13/2024",
         "Wrong  DAY  value ...  [1-31]\r\nWrong  MOUTH  value ...  [1-12]\r\nWrong  YEAR  value ...  [13-50]\r\n", ""},
        {{"5", "9", "31"}, SimFaultRule::Command('r', SimFault::NotOk), "05/09/31", "", "SERIAL ERROR: Updating parameter FAILS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.boxes);
        rig.instrument.ClearFaults();
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        std::vector<std::string> logWhileAsked;
        rig.dialogs.onMessage = [&] { logWhileAsked.push_back(Log()); };
        TypeDate(c.typed[0], c.typed[1], c.typed[2]);
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
    TypeDate("x", "x", "x");
    Get();
    EXPECT_EQ(Date(), "5/9/31");
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(State(), kIdle);
}
