// The Param tab's Read, Write and Info against the simulated instrument: what goes out, what the tab
// shows, and the controls while a button runs. Every value of a family read at once: ParamSheet.
#include <gtest/gtest.h>

#include <QSignalBlocker>
#include <optional>

#include "AppRig.h"
#include "support/SimTestHelpers.h"

namespace {

using simtest::ParamRead;
using simtest::ParamWrite;
using Sent = std::vector<Bytes>;
const Bytes kIdentify{'I'};
const Bytes kCommit{'r'};
const std::string kQmx = "31400 QMX, VERTA";
const std::string kLum = "31420 QS-LUMPROB";

// The Param tab with the simulated instrument on COMM1.
struct ParamButtons : ::testing::Test {
    AppRig rig;
    void SetUp() override { rig.StartOn("31400-paramedit\r\n", kParamTab); }
    QLineEdit& Index() { return rig.Control<QLineEdit>("txtParTipo"); }
    QLineEdit& Value() { return rig.Control<QLineEdit>("txtParValue"); }
    std::string Shown() { return Value().text().toStdString(); }
    std::string Outcome() { return rig.form->Param->StatusText(); }
    void Read() { rig.Control<QPushButton>("cmdParamReadSingle").click(); }
    void Write() { rig.Control<QPushButton>("cmdParamWriteSingle").click(); }
    void Info() { rig.Control<QPushButton>("cmdParamInfo").click(); }
    // The index text as given, past the index box's own handling of what is typed.
    void ForceIndex(const char* text)
    {
        const QSignalBlocker quiet(&Index());
        Index().setText(text);
    }
    // A quiet line after any earlier failure, and a fresh record of the requests.
    void Fresh()
    {
        rig.host.RunUntil(rig.host.Now() + kLateAnswerQuietS);
        rig.instrument.ClearRecord();
    }
    bool ControlsEnabled()
    {
        return rig.form->SSTab1->isEnabled() && rig.Control<QPushButton>("cmdParamReadSingle").isEnabled() &&
               rig.Control<QPushButton>("cmdParamWriteSingle").isEnabled() &&
               rig.Control<QPushButton>("cmdParamInfo").isEnabled();
    }
};

}  // namespace

// The value as the family types it, the index shown as a number and the scroll bar moved to it.
TEST_F(ParamButtons, ReadShowsTheValueAsTheFamilyTypesIt)
{
    const struct {
        const std::string& family;
        const char* index;
        int param;
        const char* stored;
        const char* shown;
    } cases[] = {
        {kQmx, "0", 0, "1234", "00001234"},  // index 0 with eight digits
        {kQmx, "29.4", 29, "32768", "-32768"},
        {kLum, " 29", 29, "255", "255"},  // an unsigned byte there
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family + " " + c.index);
        rig.Choose("cmbParamTipoStrum", c.family);
        Fresh();
        rig.instrument.SetParam(c.param, c.stored);
        rig.form->StatusBar1Panel2->clear();
        ForceIndex(c.index);
        Value().setText("old");
        Read();
        EXPECT_EQ(Index().text().toStdString(), std::to_string(c.param));
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(Outcome(), "Reading OK");
        EXPECT_EQ(rig.instrument.Requests(), (Sent{kIdentify, ParamRead(c.param)}));
        EXPECT_EQ(rig.Control<QScrollBar>("HScroll1").value(), c.param);
        EXPECT_EQ(rig.Panel(2), "Baud: 115200");
        EXPECT_FALSE(rig.port.IsOpen());
    }
}

// What went out, what the tab then shows, and whether it was committed. Only a value the
// parameter's width holds ever goes out, and only a value read back as written is committed.
TEST_F(ParamButtons, WriteOutcomes)
{
    const auto once = [](char command, SimFault fault) { return SimFaultRule::Command(command, fault).Times(1); };
    const auto written = [](int index, const char* digits) { return Sent{ParamWrite(index, digits), ParamRead(index)}; };
    const auto committed = [](int index, const char* digits) {
        return Sent{ParamWrite(index, digits), ParamRead(index), kCommit};
    };
    const std::string width = "VALUE out of range for the parameter's width";
    const struct {
        const char* index;
        const char* value;
        Sent sent;  // after the identification
        std::string outcome;
        const char* shown;
        std::optional<SimFaultRule> fault = std::nullopt;
        const char* readBack = nullptr;  // what the instrument answers for index 40, whatever it stored
    } cases[] = {
        // Signed 16 bits: -1 goes out as 65535 and reads back as -1; both ends of the width.
        {"29", "-1", committed(29, "65535"), "Writing OK", "-1"},
        {"29", "-32768", committed(29, "32768"), "Writing OK", "-32768"},
        {"29", "32767", committed(29, "32767"), "Writing OK", "32767"},
        {"29", "65535", written(29, "65535"), "", ""},  // reads back as -1
        {"40", "12.6", committed(40, "13"), "Writing OK", "13"},
        {"40", "-0.4", committed(40, "0"), "Writing OK", "0"},
        {"40", "7abc", committed(40, "7"), "Writing OK", "7"},
        {"0", "4294967295", committed(0, "4294967295"), "Writing OK", "4294967295"},
        {"1", "255", committed(1, "255"), "Writing OK", "255"},
        // Unsigned: the width's complement goes out, and the value read back differs.
        {"1", "-1", written(1, "255"), "", ""},
        {"24", "-2", written(24, "65534"), "", ""},
        {"40", "8", written(40, "8"), "", "", std::nullopt, "7"},
        // Refused before anything is sent: one beyond each end of the width, no number.
        {"1", "256", {}, width, "256"},
        {"1", "-129", {}, width, "-129"},
        {"29", "65536", {}, width, "65536"},
        {"29", "-32769", {}, width, "-32769"},
        {"0", "4294967296", {}, width, "4294967296"},
        {"3", "abc", {}, "VALUE is not a number", "abc"},
        {"3", "-", {}, "VALUE is not a number", "-"},
        {"3", "", {}, "Null VALUE string", ""},
        // A refused or unanswered write is neither read back nor committed; a busy commit fails.
        {"12", "3", {ParamWrite(12, "3")}, "", "", once('i', SimFault::Nak)},
        {"12", "3", {ParamWrite(12, "3")}, "", "", once('i', SimFault::Silence)},
        {"12", "3", committed(12, "3"), "", "", once('r', SimFault::Busy)},
    };
    rig.instrument.SetParamFamily(kQmx);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.index) + " := " + c.value);
        Fresh();
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        if (c.readBack)
            rig.instrument.SetParamReadBackOverride(40, c.readBack);
        const int commits = rig.instrument.Commits();
        ForceIndex(c.index);
        Value().setText(c.value);
        Write();
        rig.instrument.ClearParamReadBackOverride(40);

        Sent sent{kIdentify};
        sent.insert(sent.end(), c.sent.begin(), c.sent.end());
        EXPECT_EQ(rig.instrument.Requests(), sent);
        EXPECT_EQ(Outcome(), c.outcome);
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(rig.instrument.Commits() - commits, c.outcome == "Writing OK" ? 1 : 0);
        EXPECT_FALSE(rig.port.IsOpen());
    }
}

// An index text that names no index of the family is refused by Read and by Write alike, after the
// identification; it stays as typed, and parameter 0 is never read or written in its place.
TEST_F(ParamButtons, IndexTextsThatNameNoIndexAreRefused)
{
    rig.instrument.SetParam(0, "1234");
    const std::string qmxOut = "TYPE out of range (0-204)";
    const struct {
        const std::string& family;
        const char* typed;
        std::string outcome;
    } cases[] = {
        {kQmx, "", "Error: Null TYPE string"}, {kQmx, "  ", "Error: Null TYPE string"}, {kQmx, "abc", qmxOut},
        {kQmx, "x5", qmxOut},  {kQmx, "12abc", qmxOut}, {kQmx, "204.6", qmxOut}, {kQmx, "205", qmxOut},
        {kQmx, "-1", qmxOut},  {kLum, "156", "TYPE out of range (0-155)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family + ": '" + c.typed + "'");
        rig.Choose("cmbParamTipoStrum", c.family);
        Fresh();
        Index().setText("5");
        Index().setText(c.typed);
        Value().setText("old");
        Read();
        EXPECT_EQ(Index().text().toStdString(), c.typed);
        EXPECT_EQ(Outcome(), c.outcome);
        EXPECT_EQ(Shown(), "");
        Value().setText("99");
        Write();
        EXPECT_EQ(Outcome(), c.outcome);
        EXPECT_EQ(rig.instrument.Requests(), (Sent{kIdentify, kIdentify}));
        EXPECT_EQ(rig.instrument.Param(0), "1234");
        EXPECT_FALSE(rig.port.IsOpen());
    }
}

// A read that fails shows no value and no "Reading OK": never a 0 taken from a bad answer.
TEST_F(ParamButtons, AFailedReadShowsNothing)
{
    const auto once = [](SimFault fault) { return SimFaultRule::Command('l', fault).Times(1); };
    rig.instrument.SetParam(12, "77");
    for (const SimFaultRule& fault : {once(SimFault::Nak), once(SimFault::NotOk), once(SimFault::Busy),
                                      once(SimFault::GarbageBeforeAck).WithBytes({0x06}),
                                      once(SimFault::GarbageBeforeAck).WithBytes({0x00}), once(SimFault::MissingEot),
                                      once(SimFault::Scripted).WithBytes(simtest::Acked(simtest::Text("0ab")))}) {
        SCOPED_TRACE(static_cast<int>(fault.fault));
        Fresh();
        rig.instrument.AddFault(fault);
        ForceIndex("12");
        Value().setText("old");
        Read();
        EXPECT_EQ(Outcome(), "");
        EXPECT_EQ(Shown(), "");
    }
}

// While a button runs: its wait text, and the tab control and the three buttons off (Info: the
// "COMM" menu too); afterwards its outcome, everything on again and the port closed. Without an
// instrument only the identification goes out.
TEST_F(ParamButtons, WaitTextsControlsAndOutcomesOfEachButton)
{
    using Click = void (ParamButtons::*)();
    const std::string serialError = " Serial error !!\r\n\r\n  Check connection.";
    const struct {
        Click click;
        bool instrument;
        const char* wait;
        bool commMenuOff;
        std::string outcome;
        Sent sent;
    } cases[] = {
        {&ParamButtons::Read, true, ".. wait ..", false, "Reading OK", {kIdentify, ParamRead(12)}},
        {&ParamButtons::Write, true, ".. wait ..", false, "Writing OK",
         {kIdentify, ParamWrite(12, "5"), ParamRead(12), kCommit}},
        {&ParamButtons::Info, true, "   wait ...", true, "VRTA708 SN. 00001234\r\n  fw:1.05\r\n", {kIdentify}},
        {&ParamButtons::Read, false, ".. wait ..", false, " Serial error !!\r\n  Check connection.", {kIdentify}},
        {&ParamButtons::Write, false, ".. wait ..", false, serialError, {kIdentify}},
        {&ParamButtons::Info, false, "   wait ...", true, serialError, {kIdentify}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wait + std::string(" -> ") + c.outcome);
        Fresh();
        rig.instrument.ClearFaults();
        if (!c.instrument)
            rig.instrument.AddFault(SimFaultRule::Any(SimFault::Silence));
        ForceIndex("12");
        Value().setText("5");
        std::string during = "<not seen>";
        rig.host.CallAfter(0.1, [&] {
            during = Outcome() + (ControlsEnabled() ? " on" : " off") +
                     (rig.form->mnuSeriale->menuAction()->isEnabled() ? ", menu on" : ", menu off");
        });
        const double start = rig.host.Now();
        (this->*c.click)();
        EXPECT_EQ(during, c.wait + std::string(" off") + (c.commMenuOff ? ", menu off" : ", menu on"));
        EXPECT_EQ(Outcome(), c.outcome);
        EXPECT_EQ(rig.instrument.Requests(), c.sent);
        if (!c.instrument) {
            EXPECT_NEAR(rig.host.Now() - start, 0.25 + 0.4, 1e-9) << "opening, then one acknowledge wait";
        }
        EXPECT_TRUE(ControlsEnabled());
        EXPECT_TRUE(rig.form->mnuSeriale->menuAction()->isEnabled());
        EXPECT_FALSE(rig.port.IsOpen());
    }
}
