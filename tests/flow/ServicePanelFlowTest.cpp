#include <gtest/gtest.h>

#include <string>

#include "ServiceRig.h"

namespace {

struct ServicePanel : ServiceFlow {
    void SetUp() override { Start(); }

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
    // Lays the tab out as it is on screen.
    void ShowWindow()
    {
        rig.form->resize(780, 560);
        rig.form->show();
        QCoreApplication::processEvents();
    }
};

}  // namespace

// What each entry of the register list offers, and the hint it leaves in the log.
TEST_F(ServicePanel, EveryRegisterOffersItsControls)
{
    Command("WiFi register");
    const std::string quad = "4 numeri 0-255 separati da <.>\r\n\r\n";
    const struct {
        const char* entry;
        const char* offered;  // value box, Get, Set, functions, log, list, date
        std::string hint;
    } cases[] = {
        {"All registers", "0 1 1 0 1 1 0", ""},
        {"0x00", "0 0 1 0 1 1 0", ""},
        {"0x03", "1 1 1 0 1 1 0", ""},
        {"0x04", "0 1 0 0 1 1 0", ""},
        {"0x09", "1 1 1 0 1 1 0",
         "0  OPEN\r\n1  AUTH_WEP\r\n2  AUTH_WPA_PSK\r\n3  AUTH_WPA2_PSK\r\n4  AUTH_WPA_WPA2_PSK\r\n5  AUTH_WPA2_ENTERPRISE"},
        {"0x0F", "0 1 0 0 1 1 0", ""},
        {"0x10", "1 1 1 0 1 1 0", ""},
        {"0x11", "1 1 1 0 1 1 0", ""},
        {"0x12", "1 1 1 0 1 1 0", quad + "Default:  1.2.3.4"},
        {"0x13", "1 1 1 0 1 1 0", quad + "Default:  255.255.255.0"},
        {"0x17", "1 1 1 0 1 1 0", "Default: 2000"},
        {"0x1F", "0 1 0 0 1 1 0", ""},
        {"0x20", "0 1 1 1 0 1 0", ""},
        {"0x21", "1 1 1 0 1 1 0", ""},
        {"0x22", "1 1 1 0 1 1 0", ""},
        {"0x25", "1 1 1 0 1 1 0", ""},
        {"0x2A", "1 1 1 0 1 1 0", ""},
        {"0x2F", "1 1 1 0 1 1 0", ""},
        {"0x40", "0 1 0 0 1 1 0", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        Type("left over");
        Register(c.entry);
        EXPECT_EQ(Offered(), c.offered);
        EXPECT_EQ(Log(), c.hint);
        EXPECT_EQ(Value(), "") << "the value box is emptied";
    }
    // The function frame keeps the boxes' ticks; its captions are the functions of register 0x20.
    Function(3).setChecked(true);
    Function(0).setChecked(true);
    Register("0x20");
    EXPECT_EQ(Functions(), "1001");
    const char* captions[] = {"Enable AP Wi-Fi functionality", "Enable TCP socket",
                              "Enable station Wi-Fi functionality ", "Enable MQTT connection"};
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(Function(n).text().toStdString(), captions[n]);
}

TEST_F(ServicePanel, ChoosingACommandArrangesTheTab)
{
    const std::vector<std::string> registers = [] {
        std::vector<std::string> entries{"All registers"};
        for (const char* e : {"0x00 Reboot               W", "0x03 Serial speed         R/W",
                              "0x04 Firmware vesion      R", "0x09 AP Authentication mode R/W",
                              "0x0F AP MAC address       R", "0x10 AP SSID              R/W",
                              "0x11 AP Password          R/W", "0x12 AP IP Address        R/W",
                              "0x13 AP subnet mask       R/W", "0x17 AP TCP port          R/W",
                              "0x1F Station MAC address  R", "0x20 Module funtionality  R/W",
                              "0x21 Station Authentication mode R/W", "0x22 Station SSID   R/W",
                              "0x23 Station Password     R/W", "0x24 Station IP mode      R/W",
                              "0x25 Station IP Address   R/W", "0x26 Station subnet mask  R/W",
                              "0x27 Station DNS server   R/W", "0x28 Station MQTT server  R/W",
                              "0x29 Station MQTT port    R/W", "0x2A Station MQTT topic    R/W",
                              "0x2C Station MQTT publish QOS       R/W", "0x2D Station MQTT subscrive QOS     R/W",
                              "0x2E Station connect timeout (s)    R/W", "0x2F Station reconnect interval (s)  R/W",
                              "0x40 Status                R"})
            entries.push_back(e);
        return entries;
    }();
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
        if (Shown(rig.Control<QWidget>("cmdGetService"))) {
            EXPECT_TRUE(rig.Control<QWidget>("cmdGetService").isEnabled());
        }
        EXPECT_TRUE(rig.Control<QWidget>("cmdSendService").isEnabled());
    }
}

// List, Get right of it, Set under Get; the date frame under the command list with Get and Set
// right of it, the log under everything.
TEST_F(ServicePanel, ControlsStandWhereEachCommandPutsThem)
{
    ShowWindow();
    const auto rightOf = [](const QRect& a, const QRect& b) { return a.left() > b.right() && a.top() < b.bottom(); };
    const auto under = [](const QRect& a, const QRect& b) { return a.top() > b.bottom(); };

    Command("WiFi register");
    Register("0x12");
    QCoreApplication::processEvents();
    EXPECT_TRUE(rightOf(Place("cmdGetService"), Place("cmbService2")));
    EXPECT_EQ(Place("cmdGetService").top(), Place("cmbService2").top());
    EXPECT_TRUE(under(Place("cmdSendService"), Place("cmdGetService")));
    EXPECT_EQ(Place("cmdSendService").left(), Place("cmdGetService").left());
    EXPECT_TRUE(under(Place("cmbService2"), Place("cmbService")));
    EXPECT_TRUE(under(Place("txtService"), Place("cmdSendService")));
    EXPECT_TRUE(under(Place("txtService"), Place("txtServiceValue")));

    Command("WiFi setting");
    QCoreApplication::processEvents();
    EXPECT_TRUE(rightOf(Place("cmdSendService"), Place("cmbService2")));
    EXPECT_EQ(Place("cmdSendService").top(), Place("cmbService2").top());

    Command("Calibration date");
    QCoreApplication::processEvents();
    const QRect frame = Place("fraServiceCalibDate");
    EXPECT_TRUE(under(frame, Place("cmbService")));
    EXPECT_EQ(frame.left(), Place("cmbService").left());
    EXPECT_TRUE(rightOf(Place("cmdGetService"), frame));
    EXPECT_TRUE(under(Place("cmdSendService"), Place("cmdGetService")));
    EXPECT_TRUE(rightOf(Place("cmdSendService"), frame));
    EXPECT_TRUE(under(Place("txtService"), frame));
    EXPECT_GT(Place("txtService").height(), 200) << "the log fills the tab below";
}

// Get and Set with the instrument off: the serial error, nothing else, and every control back.
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
        EXPECT_EQ(Sent().size(), 0u);
        EXPECT_EQ(rig.instrument.Requests(), (std::vector<Bytes>{{'I'}}));
        EXPECT_TRUE(rig.dialogs.fileRequests.empty());
        EXPECT_TRUE(rig.dialogs.messages.empty());
        // The log is emptied once the controls are off, the error written before the port closes.
        EXPECT_EQ(statesAtLog, (std::vector<std::string>{"controls 0000, port 0", kRunning}));
        EXPECT_EQ(State(), kIdle);
    }
}
