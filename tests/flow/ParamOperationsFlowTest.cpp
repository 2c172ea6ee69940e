// The Param tab: the index typed or scrolled to, and Read, Write and Info against the simulated
// instrument (what the tab shows, the controls while a button runs).
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

// The Param tab with the simulated instrument on COMM1, and the catalogues as the program has them:
// the first family loaded, then the smaller one over it.
struct ParamButtons : ::testing::Test {
    AppRig rig;
    ParamCatalogue qmx, lum;
    void SetUp() override
    {
        rig.StartOn("31400-paramedit\r\n", kParamTab);
        qmx.LoadFamily(kQmx);
        lum = qmx;
        lum.LoadFamily(kLum);
    }
    QLineEdit& Index() { return rig.Control<QLineEdit>("txtParTipo"); }
    QScrollBar& Scroll() { return rig.Control<QScrollBar>("HScroll1"); }
    std::string ShownDescription() { return rig.Control<QLabel>("lblTipoParm").text().toStdString(); }
    void ChooseFamily(const std::string& family) { rig.Choose("cmbParamTipoStrum", family); }
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
using ParamIndex = ParamButtons;

}  // namespace

// The value box, the index text and the scroll bar as each result leaves them (a failed read shows no
// value); the speed shown.
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
        {kQmx, false, "12", "old", "12", "", 12, SimFaultRule::Command('l', SimFault::Busy).Times(1)},  // never a 0
        {kQmx, true, "40.2", "12.6", "40", "13", 40},  // the text follows the scroll bar
        {kQmx, true, "1", "256", "1", "256", 7},  // refused before any index is taken
        {kQmx, true, "12", "3", "12", "", 12, SimFaultRule::Command('i', SimFault::Nak).Times(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family + " " + c.index + " " + c.value);
        ChooseFamily(c.family);
        rig.instrument.SetParam(29, c.family == kQmx ? "32768" : "255");
        Fresh();
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        Scroll().setValue(7);
        rig.form->StatusBar1Panel2->clear();
        ForceIndex(c.index);
        Value().setText(c.value);
        c.write ? Write() : Read();
        EXPECT_EQ(Index().text().toStdString(), c.indexShown);
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(Scroll().value(), c.scroll);
        EXPECT_EQ(rig.Panel(2), "Baud: 115200");
        EXPECT_FALSE(rig.port.IsOpen());
    }
}

// While a button runs: its wait text, the tab control and the buttons off (Info: the "COMM" menu
// too); afterwards its outcome, everything on again and the port closed.
TEST_F(ParamButtons, WaitTextsControlsAndOutcomesOfEachButton)
{
    using Click = void (ParamButtons::*)();
    const std::string serialError = " Serial error !!\r\n\r\n  Check connection.";
    const struct { Click click; bool instrument; const char* wait; bool commMenuOff; std::string outcome; Sent sent; } cases[] = {
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
        EXPECT_TRUE(ControlsEnabled() && rig.form->mnuSeriale->menuAction()->isEnabled()) << "given back";
        EXPECT_FALSE(rig.port.IsOpen());
    }
}

// An index of the family (a fraction taken half to even) moves the scroll bar and shows its
// description; any other text stays as typed and the description says it is out of range.
TEST_F(ParamIndex, TypedIndexWithinAndOutsideTheFamily)
{
    const std::string qmxOut = "TYPE out of range (0-204)";
    const std::string lumOut = "TYPE out of range (0-155)";
    // The description, when the text names no index of the family: out of range.
    const struct { const std::string& family; const char *typed, *text; int position; std::string outOfRange; } cases[] = {
        {kQmx, "204", "204", 204, ""},   {kQmx, "205", "205", 7, qmxOut},       {kQmx, "12.5", "12", 12, ""},
        {kQmx, "13.5", "14", 14, ""},    {kQmx, "204.6", "204.6", 7, qmxOut},   {kQmx, "0", "0", 0, ""},
        {kQmx, "abc", "abc", 7, qmxOut}, {kQmx, "12abc", "12abc", 7, qmxOut},  {kQmx, "-1", "-1", 7, qmxOut},
        {kQmx, "", "", 7, ""},           {kLum, "42", "42", 42, ""},            {kLum, "300", "300", 7, lumOut},
        {kLum, "155", "155", 155, ""},   {kLum, "156", "156", 7, lumOut},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family + ": '" + c.typed + "'");
        ChooseFamily(c.family);
        Index().setText("7");
        ASSERT_EQ(Scroll().value(), 7);
        Index().setText(c.typed);
        EXPECT_EQ(Index().text(), c.text);
        EXPECT_EQ(Scroll().value(), c.position);
        const bool named = c.outOfRange.empty() && *c.typed;
        EXPECT_EQ(ShownDescription(), named ? (c.family == kQmx ? qmx : lum).Description(c.position) : c.outOfRange);
    }
    // The scroll bar moves the text and the description too.
    ChooseFamily(kQmx);
    Scroll().setValue(6);
    EXPECT_EQ(Index().text(), "6");
    EXPECT_EQ(ShownDescription(), "Calib. mese");
}

TEST_F(ParamIndex, SwitchingFamilyKeepsTheIndexOrMovesItDownToTheLastOne)
{
    // The scroll bar's range, its place, the index text and the description, in one line.
    const auto shown = [&] {
        return std::to_string(Scroll().maximum()) + " " + std::to_string(Scroll().value()) + " " +
               Index().text().toStdString() + " " + ShownDescription();
    };
    Index().setText("29");
    ChooseFamily(kLum);
    EXPECT_EQ(shown(), "155 29 29 " + lum.Description(29));
    ChooseFamily(kQmx);
    Index().setText("200");
    ChooseFamily(kLum);
    // 155 is one of the entries the smaller family leaves as the first family wrote it.
    EXPECT_EQ(shown(), "155 155 155 PQA Volt  K");
    ChooseFamily(kQmx);
    EXPECT_EQ(shown(), "204 155 155 " + qmx.Description(155));
}
