#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ServiceRig.h"
#include "support/SimTestHelpers.h"

namespace {

using simtest::ParamRead;
using simtest::ParamWrite;

struct CalibrationDate : ServiceFlow {
    void SetUp() override { Start(); }

    // The instrument calls itself `model` and has `fault` alone.
    void Instrument(const char* model, const std::optional<SimFaultRule>& fault)
    {
        SimIdentity identity;
        identity.name = model;
        rig.instrument.SetIdentity(identity);
        rig.instrument.ClearFaults();
        if (fault)
            rig.instrument.AddFault(*fault);
    }

    void Boxes(const std::string& day, const std::string& month, const std::string& year)
    {
        rig.Control<QLineEdit>("txtCalibManDateDay").setText(QString::fromStdString(day));
        rig.Control<QLineEdit>("txtCalibManDateMonth").setText(QString::fromStdString(month));
        rig.Control<QLineEdit>("txtCalibManDateYear").setText(QString::fromStdString(year));
    }
    std::string Boxes() const
    {
        return rig.Text("txtCalibManDateDay") + "/" + rig.Text("txtCalibManDateMonth") + "/" +
               rig.Text("txtCalibManDateYear");
    }
    std::string Messages() const
    {
        std::string text;
        for (const auto& m : rig.dialogs.messages)
            text += (text.empty() ? "" : "; ") + m.title + ": " + m.text + (m.icon == MsgIcon::Information ? " (i)" : "");
        return text;
    }
};

const std::vector<Bytes> kWrites{ParamWrite(7, "24"), ParamRead(7), ParamWrite(6, "3"), ParamRead(6),
                                 ParamWrite(5, "7"), ParamRead(5)};

}  // namespace

TEST_F(CalibrationDate, SetChecksWritesAndCommits)
{
    const auto commit = [] {
        std::vector<Bytes> sent = kWrites;
        sent.push_back({'r'});
        return sent;
    }();
    const std::string invalidAll = "Wrong  DAY  value ...  [1-31]\r\nWrong  MOUTH  value ...  [1-12]\r\n"
                                   "Wrong  YEAR  value ...  [13-50]\r\n";
    const std::string updated = "DATE UPDATED: Calibration DATE  updated !!! (i)";
    const std::string fails = "SERIAL ERROR: Updating parameter FAILS (i)";
    const struct {
        const char* story;
        const char* model;
        const char* day;
        const char* month;
        const char* year;
        const char* boxes;  // after Set
        std::string log;
        std::vector<Bytes> sent;
        std::string messages;
        std::optional<SimFaultRule> fault = std::nullopt;
        const char* dayReadBack = nullptr;
    } cases[] = {
        {"valid date", "VRTA710", "7", "3", "24", "07/03/24", "Calibration DATE  updated", commit, updated},
        {"the bounds", "QSLUM", "31", "12", "50", "31/12/50", "Calibration DATE  updated",
         {ParamWrite(7, "50"), ParamRead(7), ParamWrite(6, "12"), ParamRead(6), ParamWrite(5, "31"), ParamRead(5), {'r'}},
         updated},
        {"the other bounds", "GRP4917", "1", "1", "13", "01/01/13", "Calibration DATE  updated",
         {ParamWrite(7, "13"), ParamRead(7), ParamWrite(6, "1"), ParamRead(6), ParamWrite(5, "1"), ParamRead(5), {'r'}},
         updated},
        {"halves to even", "VRTA710", "6.5", "2.5", "23.5", "06/02/24", "Calibration DATE  updated",
         {ParamWrite(7, "24"), ParamRead(7), ParamWrite(6, "2"), ParamRead(6), ParamWrite(5, "6"), ParamRead(5), {'r'}},
         updated},
        {"all three wrong", "VRTA710", "0", "13", "2024", "00/13/2024", invalidAll, {}, ""},
        {"just outside", "VRTA710", "32", "0", "12", "32/00/12", invalidAll, {}, ""},
        {"month only", "VRTA710", "1", "13", "24", "01/13/24", "Wrong  MOUTH  value ...  [1-12]\r\n", {}, ""},
        {"year only, just above", "VRTA710", "1", "1", "51", "01/01/51", "Wrong  YEAR  value ...  [13-50]\r\n", {}, ""},
        {"no number reads 0", "VRTA710", "abc", "", "-3", "00/00/-03", invalidAll, {}, ""},
        {"checked before the model", "ZJ553903", "0", "3", "24", "00/03/24", "Wrong  DAY  value ...  [1-31]\r\n", {}, ""},
        {"wrong model", "ZJ553903", "7", "3", "24", "07/03/24", "Device: ZJ553903\r\n\r\nWRONG DEVICE...", {}, ""},
        {"every write made, none committed", "VRTA710", "7", "3", "24", "07/03/24", "", kWrites, fails,
         SimFaultRule::Command('i', SimFault::NotOk).Target(6, 6)},
        {"read back differs", "VRTA710", "7", "3", "24", "07/03/24", "", kWrites, fails, std::nullopt, "9"},
        {"commit refused", "VRTA710", "7", "3", "24", "07/03/24", "", commit, fails,
         SimFaultRule::Command('r', SimFault::NotOk)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        Instrument(c.model, c.fault);
        rig.instrument.ClearParamReadBackOverride(5);
        if (c.dayReadBack)
            rig.instrument.SetParamReadBackOverride(5, c.dayReadBack);
        std::vector<std::string> logWhileAsked;
        rig.dialogs.onMessage = [&] { logWhileAsked.push_back(Log()); };
        const int commits = rig.instrument.Commits();
        Command("Calibration date");
        Boxes(c.day, c.month, c.year);
        Set();
        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(Sent(), c.sent);
        EXPECT_EQ(Messages(), c.messages);
        // The log line comes once the box is closed; a failure leaves the log as it was.
        EXPECT_EQ(logWhileAsked, std::vector<std::string>(c.messages.empty() ? 0 : 1, ""));
        EXPECT_EQ(rig.instrument.Commits() - commits, c.messages == updated ? 1 : 0);
        EXPECT_EQ(State(), kIdle);
        Command("WiFi setting");
    }
}

// The values written reach the instrument's parameters, which Get then shows without leading zeros.
TEST_F(CalibrationDate, GetShowsWhatSetWrote)
{
    // When each request reached the instrument, in virtual time.
    std::vector<double> at;
    rig.host.SetOnYield([&] {
        QCoreApplication::processEvents();
        const std::size_t received = rig.instrument.Requests().size();
        at.resize(std::min(at.size(), received));
        while (at.size() < received)
            at.push_back(rig.host.Now());
    });
    Command("Calibration date");
    Boxes("5", "9", "31");
    Set();
    ASSERT_EQ(Log(), "Calibration DATE  updated");
    ASSERT_EQ(at.size(), 8u);
    EXPECT_GE(at[7] - at[6], 0.5) << "half a second between the last read-back and the commit";
    EXPECT_LT(at[7] - at[6], 0.6);
    EXPECT_EQ(Boxes(), "05/09/31");
    EXPECT_EQ(rig.instrument.Param(5) + "/" + rig.instrument.Param(6) + "/" + rig.instrument.Param(7), "5/9/31");
    Boxes("x", "x", "x");
    Get();
    EXPECT_EQ(Boxes(), "5/9/31");
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Sent(), (std::vector<Bytes>{ParamRead(5), ParamRead(6), ParamRead(7)}));
    EXPECT_EQ(State(), kIdle);
}

TEST_F(CalibrationDate, GetStopsSilentlyAtTheFirstFailingRead)
{
    rig.instrument.SetParam(5, "12");
    rig.instrument.SetParam(6, "4");
    rig.instrument.SetParam(7, "25");
    const struct {
        const char* story;
        const char* model;
        std::optional<SimFaultRule> fault;
        const char* boxes;
        std::vector<Bytes> sent;
        const char* log;
    } cases[] = {
        {"every read", "QMX-ARN+", std::nullopt, "12/4/25", {ParamRead(5), ParamRead(6), ParamRead(7)}, ""},
        {"month refused", "VRTA710", SimFaultRule::Command('l', SimFault::NotOk).Target(6, 6), "12//",
         {ParamRead(5), ParamRead(6)}, ""},
        {"month silent", "VRTA710", SimFaultRule::Command('l', SimFault::Silence).Target(6, 6), "12//",
         {ParamRead(5), ParamRead(6)}, ""},
        {"day busy", "VRTA710", SimFaultRule::Command('l', SimFault::Busy).Target(5, 5), "//", {ParamRead(5)}, ""},
        {"year garbled", "VRTA710", SimFaultRule::Command('l', SimFault::GarbageBeforeAck).Target(7, 7), "12/4/",
         {ParamRead(5), ParamRead(6), ParamRead(7)}, ""},
        {"wrong model", "ZJ553903", std::nullopt, "x/x/x", {}, "Device: ZJ553903\r\n\r\nWRONG DEVICE..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        Instrument(c.model, c.fault);
        Command("Calibration date");
        Boxes("x", "x", "x");
        Get();
        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_EQ(Sent(), c.sent);
        EXPECT_EQ(Log(), c.log);
        EXPECT_TRUE(rig.dialogs.messages.empty());
        EXPECT_EQ(State(), kIdle);
        Command("WiFi setting");
        rig.host.RunUntil(rig.host.Now() + 2.0);  // a late answer is over
    }
}
