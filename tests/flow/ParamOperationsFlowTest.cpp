#include <gtest/gtest.h>

#include <QSignalBlocker>
#include <optional>
#include <string>
#include <vector>

#include "AppRig.h"

namespace {

const std::string kQmx = "31400 QMX, VERTA";
const std::string kLum = "31420 QS-LUMPROB";

std::string WriteRequest(int index, const std::string& digits)
{
    return std::string{'i', static_cast<char>(index >> 8), static_cast<char>(index & 0xFF)} + digits;
}

std::string ReadRequest(int index)
{
    return std::string{'l', static_cast<char>(index >> 8), static_cast<char>(index & 0xFF), '\0'};
}

using Sent = std::vector<std::string>;

// The Param tab with the simulated instrument on COMM1.
struct ParamButtons : ::testing::Test {
    AppRig rig;
    void SetUp() override
    {
        rig.StartOn("31400-paramedit\r\n", kParamTab);
        rig.instrument.ClearRecord();
    }
    QLineEdit& Index() { return rig.Control<QLineEdit>("txtParTipo"); }
    QLineEdit& Value() { return rig.Control<QLineEdit>("txtParValue"); }
    std::string Outcome() { return rig.form->Param->StatusText(); }
    void Read() { rig.Control<QPushButton>("cmdParamReadSingle").click(); }
    void Write() { rig.Control<QPushButton>("cmdParamWriteSingle").click(); }
    void Info() { rig.Control<QPushButton>("cmdParamInfo").click(); }
    // The index text as typed, past the index box's own range rule.
    void ForceIndex(const char* text)
    {
        const QSignalBlocker quiet(&Index());
        Index().setText(text);
    }
    // Payloads the instrument received, as text.
    Sent Requests() const
    {
        Sent out;
        for (const Bytes& payload : rig.instrument.Requests())
            out.emplace_back(payload.begin(), payload.end());
        return out;
    }
    bool ControlsEnabled()
    {
        return rig.form->SSTab1->isEnabled() && rig.Control<QPushButton>("cmdParamReadSingle").isEnabled() &&
               rig.Control<QPushButton>("cmdParamWriteSingle").isEnabled() &&
               rig.Control<QPushButton>("cmdParamInfo").isEnabled();
    }
};

}  // namespace

TEST_F(ParamButtons, ReadShowsTheValueAsTheFamilyTypesIt)
{
    const struct {
        const std::string& family;
        const char* index;
        int param;
        const char* stored;
        const char* shown;
    } cases[] = {
        {kQmx, "0", 0, "1234", "00001234"},         // index 0 is shown with eight digits
        {kQmx, "12", 12, "77", "77"},               // unsigned
        {kQmx, "29", 29, "65535", "-1"},            // signed 16 bits
        {kQmx, "29", 29, "32767", "32767"},
        {kQmx, "29", 29, "32768", "-32768"},
        {kLum, "29", 29, "255", "255"},             // an unsigned byte there
        {kLum, "103", 103, "4294967295", "-1"},     // signed 32 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family + " " + c.index);
        rig.Choose("cmbParamTipoStrum", c.family);
        rig.instrument.ClearRecord();
        rig.instrument.SetParam(c.param, c.stored);
        rig.form->StatusBar1Panel2->clear();
        ForceIndex(c.index);
        Value().setText("old");
        Read();
        EXPECT_EQ(Index().text().toStdString(), std::to_string(c.param));
        EXPECT_EQ(Value().text().toStdString(), c.shown);
        EXPECT_EQ(Outcome(), "Reading OK");
        EXPECT_EQ(Requests(), (Sent{"I", ReadRequest(c.param)}));
        EXPECT_EQ(rig.Control<QScrollBar>("HScroll1").value(), c.param);
        EXPECT_EQ(rig.Panel(2), "Baud: 115200");
        EXPECT_FALSE(rig.port.IsOpen());
    }
}

// Every outcome of Write: what went out, what the tab then shows, and whether it was committed.
// Only an index the technician typed and a value the parameter's width holds ever go out.
TEST_F(ParamButtons, WriteOutcomes)
{
    const auto once = [](char command, SimFault fault) { return SimFaultRule::Command(command, fault).Times(1); };
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
        // Signed 16 bits: -1 goes out as 65535, reads back as -1 and is committed; both ends of the width.
        {"29", "-1", {WriteRequest(29, "65535"), ReadRequest(29), "r"}, "Writing OK", "-1"},
        {"29", "-32768", {WriteRequest(29, "32768"), ReadRequest(29), "r"}, "Writing OK", "-32768"},
        {"29", "65535", {WriteRequest(29, "65535"), ReadRequest(29)}, "", ""},  // reads back as -1
        {"40", "12.6", {WriteRequest(40, "13"), ReadRequest(40), "r"}, "Writing OK", "13"},
        {"40", "-0", {WriteRequest(40, "0"), ReadRequest(40), "r"}, "Writing OK", "0"},
        {"40", "-0.4", {WriteRequest(40, "0"), ReadRequest(40), "r"}, "Writing OK", "0"},
        {"40", "7abc", {WriteRequest(40, "7"), ReadRequest(40), "r"}, "Writing OK", "7"},
        {"0", "4294967295", {WriteRequest(0, "4294967295"), ReadRequest(0), "r"}, "Writing OK", "4294967295"},
        {"1", "255", {WriteRequest(1, "255"), ReadRequest(1), "r"}, "Writing OK", "255"},
        // Unsigned: the width's complement goes out, and the value read back differs.
        {"1", "-1", {WriteRequest(1, "255"), ReadRequest(1)}, "", ""},
        {"1", "-128", {WriteRequest(1, "128"), ReadRequest(1)}, "", ""},
        {"24", "-2", {WriteRequest(24, "65534"), ReadRequest(24)}, "", ""},
        {"40", "8", {WriteRequest(40, "8"), ReadRequest(40)}, "", "", std::nullopt, "7"},
        // Refused before anything is sent: one beyond each end of the width, no number, no index.
        {"1", "256", {}, width, "256"},
        {"1", "-129", {}, width, "-129"},
        {"29", "65536", {}, width, "65536"},
        {"29", "-32769", {}, width, "-32769"},
        {"0", "4294967296", {}, width, "4294967296"},
        {"0", "12345678901234567890", {}, width, "12345678901234567890"},
        {"3", "abc", {}, "VALUE is not a number", "abc"},
        {"3", "-", {}, "VALUE is not a number", "-"},
        {"3", "", {}, "Null VALUE string", ""},
        {"", "5", {}, "Error: Null TYPE string", "5"},
        {"  ", "5", {}, "Error: Null TYPE string", "5"},
        {"abc", "5", {}, "TYPE out of range (0-204)", "5"},
        {"12abc", "5", {}, "TYPE out of range (0-204)", "5"},
        {"205", "5", {}, "TYPE out of range (0-204)", "5"},
        {"-1", "5", {}, "TYPE out of range (0-204)", "5"},
        // A refused or unanswered write is neither read back nor committed; a busy commit fails.
        {"12", "3", {WriteRequest(12, "3")}, "", "", once('i', SimFault::Nak)},
        {"12", "3", {WriteRequest(12, "3")}, "", "", once('i', SimFault::Silence)},
        {"12", "3", {WriteRequest(12, "3"), ReadRequest(12), "r"}, "", "", once('r', SimFault::Busy)},
    };
    rig.instrument.SetParamFamily(kQmx);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.index) + " := " + c.value);
        rig.instrument.ClearRecord();
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        if (c.readBack)
            rig.instrument.SetParamReadBackOverride(40, c.readBack);
        const int commits = rig.instrument.Commits();
        ForceIndex(c.index);
        Value().setText(c.value);
        Write();
        rig.instrument.ClearParamReadBackOverride(40);

        Sent sent{"I"};
        sent.insert(sent.end(), c.sent.begin(), c.sent.end());
        EXPECT_EQ(Requests(), sent);
        EXPECT_EQ(Outcome(), c.outcome);
        EXPECT_EQ(Value().text().toStdString(), c.shown);
        EXPECT_EQ(rig.instrument.Commits() - commits, c.outcome == "Writing OK" ? 1 : 0);
        EXPECT_FALSE(rig.port.IsOpen());
    }
}

// The index box keeps what was typed: clearing it, "abc" or 205 never turn into parameter 0.
TEST_F(ParamButtons, WriteNeverTouchesAnIndexThatWasNotTyped)
{
    rig.instrument.SetParam(0, "1234");
    for (const char* typed : {"", "abc", "205"}) {
        SCOPED_TRACE(std::string("typed '") + typed + "'");
        rig.instrument.ClearRecord();
        Index().setText("7");
        Index().setText(typed);
        Value().setText("99");
        Write();
        EXPECT_EQ(Index().text().toStdString(), typed);
        EXPECT_EQ(Outcome(), *typed ? "TYPE out of range (0-204)" : "Error: Null TYPE string");
        EXPECT_EQ(Requests(), Sent{"I"});
        EXPECT_EQ(rig.instrument.Param(0), "1234");
    }
}
// Read refuses an index text that Write would refuse, with Write's words; the text stays as typed,
// so the Write that follows is refused too and parameter 0 is never read or written in its place.
TEST_F(ParamButtons, ReadRefusesAnIndexTextAsWriteDoes)
{
    rig.instrument.SetParam(0, "1234");
    const struct {
        const char* typed;
        const char* outcome;
    } cases[] = {
        {"", "Error: Null TYPE string"},      {"  ", "Error: Null TYPE string"},
        {"abc", "TYPE out of range (0-204)"}, {"x5", "TYPE out of range (0-204)"},
        {"5x", "TYPE out of range (0-204)"},  {"204.6", "TYPE out of range (0-204)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("typed '") + c.typed + "'");
        rig.instrument.ClearRecord();
        Index().setText("5");
        Index().setText(c.typed);
        Value().setText("old");
        Read();
        EXPECT_EQ(Index().text().toStdString(), c.typed);
        EXPECT_EQ(Outcome(), c.outcome);
        EXPECT_EQ(Value().text(), "");
        EXPECT_EQ(Requests(), Sent{"I"});
        EXPECT_EQ(rig.Panel(2), "Baud: 115200");

        Value().setText("99");
        Write();
        EXPECT_EQ(Outcome(), c.outcome);
        EXPECT_EQ(Requests(), (Sent{"I", "I"}));
        EXPECT_EQ(rig.instrument.Param(0), "1234");
        EXPECT_FALSE(rig.port.IsOpen());
    }
}

TEST_F(ParamButtons, IndexOutOfTheFamilysRangeIsRefusedAndAFailedReadShowsNothing)
{
    ForceIndex("205");
    Read();
    EXPECT_EQ(Outcome(), "TYPE out of range (0-204)");
    rig.Choose("cmbParamTipoStrum", kLum);
    ForceIndex("156");
    Value().setText("1");
    Write();
    EXPECT_EQ(Outcome(), "TYPE out of range (0-155)");
    ForceIndex("-1");
    Read();
    EXPECT_EQ(Outcome(), "TYPE out of range (0-155)");
    EXPECT_EQ(Requests(), (Sent{"I", "I", "I"}));

    // A read that fails shows no value and no "Reading OK": never a 0 taken from a bad answer.
    const auto once = [](SimFault fault) { return SimFaultRule::Command('l', fault).Times(1); };
    rig.instrument.SetParam(12, "77");
    for (const SimFaultRule& fault : {once(SimFault::Nak), once(SimFault::NotOk), once(SimFault::Busy),
                                      once(SimFault::GarbageBeforeAck).WithBytes({0x06}),
                                      once(SimFault::GarbageBeforeAck).WithBytes({0x00}), once(SimFault::MissingEot),
                                      once(SimFault::Scripted).WithBytes({0x06, 0x01, 0x07, '0', 'a', 'b', 0xFB, 0x0A, 0x04})}) {
        SCOPED_TRACE(static_cast<int>(fault.fault));
        rig.host.RunUntil(rig.host.Now() + kLateAnswerQuietS);
        rig.instrument.AddFault(fault);
        ForceIndex("12");
        Value().setText("old");
        Read();
        EXPECT_EQ(Outcome(), "");
        EXPECT_EQ(Value().text(), "");
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
        {&ParamButtons::Read, true, ".. wait ..", false, "Reading OK", {"I", ReadRequest(12)}},
        {&ParamButtons::Write, true, ".. wait ..", false, "Writing OK", {"I", WriteRequest(12, "5"), ReadRequest(12), "r"}},
        {&ParamButtons::Info, true, "   wait ...", true, "VRTA708 SN. 00001234\r\n  fw:1.05\r\n", {"I"}},
        {&ParamButtons::Read, false, ".. wait ..", false, " Serial error !!\r\n  Check connection.", {"I"}},
        {&ParamButtons::Write, false, ".. wait ..", false, serialError, {"I"}},
        {&ParamButtons::Info, false, "   wait ...", true, serialError, {"I"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wait + std::string(" -> ") + c.outcome);
        rig.host.RunUntil(rig.host.Now() + kLateAnswerQuietS);  // the line quiet again after a failure
        rig.instrument.ClearRecord();
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
        EXPECT_EQ(Requests(), c.sent);
        if (!c.instrument) {
            EXPECT_NEAR(rig.host.Now() - start, 0.25 + 0.4, 1e-9) << "opening, then one acknowledge wait";
        }
        EXPECT_TRUE(ControlsEnabled());
        EXPECT_TRUE(rig.form->mnuSeriale->menuAction()->isEnabled());
        EXPECT_FALSE(rig.port.IsOpen());
    }
}
