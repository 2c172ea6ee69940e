#include <gtest/gtest.h>

#include "AppRig.h"

namespace {

const std::string kQmx = "31400 QMX, VERTA";
const std::string kLum = "31420 QS-LUMPROB";

struct ParamIndex : ::testing::Test {
    AppRig rig;
    ParamCatalogue qmx;
    ParamCatalogue lum;  // as the program has it: the first family loaded, then the smaller one over it
    void SetUp() override
    {
        rig.StartOn("31400-paramedit\r\n", kParamTab);
        qmx.LoadFamily(kQmx);
        lum = qmx;
        lum.LoadFamily(kLum);
    }
    QLineEdit& IndexText() { return rig.Control<QLineEdit>("txtParTipo"); }
    QScrollBar& Scroll() { return rig.Control<QScrollBar>("HScroll1"); }
    std::string ShownDescription() { return rig.Control<QLabel>("lblTipoParm").text().toStdString(); }
    void ChooseFamily(const std::string& family) { rig.Choose("cmbParamTipoStrum", family); }
};

}  // namespace

// An index of the family moves the scroll bar (a fraction is taken half to even, and the text then
// follows the scroll bar) and shows its description; any other text stays as typed, the scroll bar
// keeps its place and the description says the text is out of range.
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
        IndexText().setText("7");
        ASSERT_EQ(Scroll().value(), 7);
        IndexText().setText(c.typed);
        EXPECT_EQ(IndexText().text(), c.text);
        EXPECT_EQ(Scroll().value(), c.position);
        const bool named = c.outOfRange.empty() && *c.typed;
        EXPECT_EQ(ShownDescription(), named ? (c.family == kQmx ? qmx : lum).Description(c.position) : c.outOfRange);
    }
    // The scroll bar moves the text and the description too.
    ChooseFamily(kQmx);
    Scroll().setValue(6);
    EXPECT_EQ(IndexText().text(), "6");
    EXPECT_EQ(ShownDescription(), "Calib. mese");
}

TEST_F(ParamIndex, SwitchingFamilyKeepsTheIndexOrMovesItDownToTheLastOne)
{
    IndexText().setText("29");
    ChooseFamily(kLum);
    EXPECT_EQ(IndexText().text(), "29");
    EXPECT_EQ(Scroll().value(), 29);
    EXPECT_EQ(ShownDescription(), lum.Description(29));

    ChooseFamily(kQmx);
    IndexText().setText("200");
    EXPECT_EQ(ShownDescription(), qmx.Description(200));
    ChooseFamily(kLum);
    EXPECT_EQ(Scroll().maximum(), 155);
    EXPECT_EQ(Scroll().value(), 155);
    EXPECT_EQ(IndexText().text(), "155");
    // 155 is one of the entries the smaller family leaves as the first family wrote it.
    EXPECT_EQ(ShownDescription(), "PQA Volt  K");

    ChooseFamily(kQmx);
    EXPECT_EQ(Scroll().maximum(), 204);
    EXPECT_EQ(IndexText().text(), "155");
    EXPECT_EQ(ShownDescription(), qmx.Description(155));
}
