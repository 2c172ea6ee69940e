// The Param tab's Read, Write and Info against the simulated instrument: what the tab shows, and the
// controls while a button runs. What each operation sends and gives back: ParamRead, ParamWrite.
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

// Read: the value box filled, the index shown as the number read and the scroll bar moved to it,
// the speed in the status bar. Write: the value box shows what was written, nothing after a failed
// write, and a refused text stays as typed.
TEST_F(ParamButtons, ReadAndWriteFillTheTabFromTheirResult)
{
    const struct {
        const std::string& family;
        bool write;
        const char *index, *value, *indexShown, *shown;
        int scroll;
        std::optional<SimFaultRule> fault = std::nullopt;
    } cases[] = {
        {kQmx, false, "29.4", "old", "29", "-32768", 29},
        {kLum, false, " 29", "old", "29", "255", 29},
        {kQmx, false, "abc", "old", "abc", "", 7},
        {kQmx, true, "40.2", "12.6", "40", "13", 40},  // the text follows the scroll bar
        {kQmx, true, "1", "256", "1", "256", 7},  // refused before any index is taken
        {kQmx, true, "12", "3", "12", "", 12, SimFaultRule::Command('i', SimFault::Nak).Times(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family + " " + c.index + " " + c.value);
        rig.Choose("cmbParamTipoStrum", c.family);
        rig.instrument.SetParam(29, c.family == kQmx ? "32768" : "255");
        Fresh();
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        rig.Control<QScrollBar>("HScroll1").setValue(7);
        rig.form->StatusBar1Panel2->clear();
        ForceIndex(c.index);
        Value().setText(c.value);
        c.write ? Write() : Read();
        EXPECT_EQ(Index().text().toStdString(), c.indexShown);
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(rig.Control<QScrollBar>("HScroll1").value(), c.scroll);
        EXPECT_EQ(rig.Panel(2), "Baud: 115200");
        EXPECT_FALSE(rig.port.IsOpen());
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
         {kIdentify, ParamWrite(12, "5"), ParamRead(12), {'r'}}},
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
