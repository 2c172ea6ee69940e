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
        {kQmx, "abc", 0, "1234", "00001234"},       // no number: index 0, shown with eight digits
        {kQmx, "12", 12, "77", "77"},               // unsigned
        {kQmx, "29", 29, "65535", "-1"},            // signed 16 bits
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
TEST_F(ParamButtons, WriteOutcomes)
{
    const auto once = [](char command, SimFault fault) { return SimFaultRule::Command(command, fault).Times(1); };
    const struct {
        const char* index;
        const char* value;
        Sent sent;  // after the identification
        const char* outcome;
        const char* shown;
        std::optional<SimFaultRule> fault = std::nullopt;
        const char* readBack = nullptr;  // what the instrument answers for index 40, whatever it stored
    } cases[] = {
        // Signed 16 bits: -1 goes out as 65535, reads back as -1 and is committed.
        {"29", "-1", {WriteRequest(29, "65535"), ReadRequest(29), "r"}, "Writing OK", "-1"},
        {"40", "12.6", {WriteRequest(40, "13"), ReadRequest(40), "r"}, "Writing OK", "13"},
        {"0", "1234567890123", {WriteRequest(0, "1234567890123"), ReadRequest(0), "r"}, "Writing OK", "1234567890123"},
        // Unsigned: the width's complement goes out, and the value read back differs.
        {"1", "-1", {WriteRequest(1, "255"), ReadRequest(1)}, "", ""},
        {"24", "-1", {WriteRequest(24, "65535"), ReadRequest(24)}, "", ""},
        {"24", "-2", {WriteRequest(24, "65534"), ReadRequest(24)}, "", ""},
        {"40", "8", {WriteRequest(40, "8"), ReadRequest(40)}, "", "", std::nullopt, "7"},
        // Refused before anything is sent.
        {"0", "12345678901234", {}, "VALUE too long (max 13 digits)", "12345678901234"},
        {"1", "-300", {}, "VALUE out of range for the parameter's width", "-300"},
        {"", "5", {}, "Error: Null TYPE string", "5"},
        {"3", "", {}, "Null VALUE string", ""},
        // A refused or unanswered write is neither read back nor committed; a busy commit fails.
        {"12", "3", {WriteRequest(12, "3")}, "", "", once('i', SimFault::Nak)},
        {"12", "3", {WriteRequest(12, "3")}, "", "", once('i', SimFault::Silence)},
        {"12", "3", {WriteRequest(12, "3"), ReadRequest(12), "r"}, "", "", once('r', SimFault::Busy)},
    };
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
        EXPECT_EQ(rig.instrument.Commits() - commits, std::string(c.outcome) == "Writing OK" ? 1 : 0);
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

    rig.instrument.AddFault(SimFaultRule::Command('l', SimFault::Nak).Times(1));
    ForceIndex("12");
    Value().setText("old");
    Read();
    EXPECT_EQ(Outcome(), "");
    EXPECT_EQ(Value().text(), "");
}

TEST_F(ParamButtons, NoInstrument)
{
    rig.instrument.AddFault(SimFaultRule::Any(SimFault::Silence));
    const double start = rig.host.Now();
    bool enabledDuring = true;
    rig.host.CallAfter(0.1, [&] { enabledDuring = ControlsEnabled(); });
    Read();
    EXPECT_FALSE(enabledDuring);
    EXPECT_EQ(Outcome(), " Serial error !!\r\n  Check connection.");
    EXPECT_NEAR(rig.host.Now() - start, 0.25 + 0.4, 1e-9) << "opening, then one acknowledge wait";
    Write();
    EXPECT_EQ(Outcome(), " Serial error !!\r\n\r\n  Check connection.");
    Info();
    EXPECT_EQ(Outcome(), " Serial error !!\r\n\r\n  Check connection.");
    EXPECT_EQ(Requests(), (Sent{"I", "I", "I"}));
    EXPECT_TRUE(ControlsEnabled()) << "enabled again after a failed identification";
    EXPECT_FALSE(rig.port.IsOpen());
}

TEST_F(ParamButtons, InfoShowsTheIdentityAndControlsAreDisabledWhileAnOperationRuns)
{
    bool enabledDuring = true;
    bool commMenuDuring = true;
    rig.host.CallAfter(0.1, [&] {
        enabledDuring = ControlsEnabled();
        commMenuDuring = rig.form->mnuSeriale->menuAction()->isEnabled();
    });
    Info();
    EXPECT_EQ(Outcome(), "VRTA708 SN. 00001234\r\n  fw:1.05\r\n");
    EXPECT_FALSE(enabledDuring);
    EXPECT_FALSE(commMenuDuring);
    EXPECT_TRUE(ControlsEnabled());
    EXPECT_TRUE(rig.form->mnuSeriale->menuAction()->isEnabled());
}
