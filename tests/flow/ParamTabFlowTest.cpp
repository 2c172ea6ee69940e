#include <gtest/gtest.h>

#include <string>

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

TEST_F(ParamIndex, IndexTextAndScrollBarFollowEachOtherWithTheDescription)
{
    IndexText().setText("5");
    EXPECT_EQ(Scroll().value(), 5);
    EXPECT_EQ(ShownDescription(), "Calib. giorno");
    Scroll().setValue(42);
    EXPECT_EQ(IndexText().text(), "42");
    EXPECT_EQ(ShownDescription(), qmx.Description(42));
    Scroll().setValue(6);
    EXPECT_EQ(IndexText().text(), "6");
    EXPECT_EQ(ShownDescription(), "Calib. mese");
}

// An index outside the family resets the text to 0; a fraction is taken half to even, and the
// text then follows the scroll bar.
TEST_F(ParamIndex, TypedIndexWithinAndOutsideTheFamily)
{
    const struct {
        const std::string& family;
        const char* typed;
        const char* text;
        int position;
    } cases[] = {
        {kQmx, "204", "204", 204}, {kQmx, "205", "0", 0},    {kQmx, "12.5", "12", 12}, {kQmx, "13.5", "14", 14},
        {kQmx, "204.6", "0", 0},   {kQmx, "7", "7", 7},      {kQmx, "abc", "0", 0},    {kLum, "42", "42", 42},
        {kLum, "300", "0", 0},     {kLum, "155", "155", 155}, {kLum, "156", "0", 0},   {kLum, "-1", "0", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family + ": " + c.typed);
        ChooseFamily(c.family);
        IndexText().setText(c.typed);
        EXPECT_EQ(IndexText().text(), c.text);
        EXPECT_EQ(Scroll().value(), c.position);
        EXPECT_EQ(ShownDescription(), (c.family == kQmx ? qmx : lum).Description(c.position));
    }
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
    ASSERT_EQ(Scroll().value(), 200);
    EXPECT_EQ(ShownDescription(), qmx.Description(200));
    ChooseFamily(kLum);
    EXPECT_EQ(Scroll().maximum(), 155);
    EXPECT_EQ(Scroll().value(), 155);
    EXPECT_EQ(IndexText().text(), "155");
    // 155 is one of the entries the smaller family leaves as the first family wrote it.
    EXPECT_EQ(ShownDescription(), lum.Description(155));
    EXPECT_EQ(ShownDescription(), rig.form->Catalogue().Description(155));
    EXPECT_FALSE(ShownDescription().empty());

    ChooseFamily(kQmx);
    EXPECT_EQ(Scroll().maximum(), 204);
    EXPECT_EQ(IndexText().text(), "155");
    EXPECT_EQ(ShownDescription(), qmx.Description(155));
}
