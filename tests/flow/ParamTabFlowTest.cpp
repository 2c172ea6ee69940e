#include <gtest/gtest.h>

#include <string>

#include "AppRig.h"

namespace {

const std::string kQmx = "31400 QMX, VERTA";
const std::string kLum = "31420 QS-LUMPROB";

struct ParamIndex : ::testing::Test {
    AppRig rig;
    void SetUp() override
    {
        rig.WriteConfig("31400-paramedit\r\n");
        ASSERT_TRUE(rig.Start());
        rig.form->SSTab1->setCurrentIndex(2);
    }
    QLineEdit& IndexText() { return rig.Control<QLineEdit>("txtParTipo"); }
    QScrollBar& Scroll() { return rig.Control<QScrollBar>("HScroll1"); }
    std::string ShownDescription() { return rig.Control<QLabel>("lblTipoParm").text().toStdString(); }
    void ChooseFamily(const std::string& family)
    {
        auto& list = rig.Control<QComboBox>("cmbParamTipoStrum");
        list.setCurrentIndex(list.findText(QString::fromStdString(family)));
        ASSERT_EQ(list.currentText().toStdString(), family);
    }
};

}  // namespace

TEST_F(ParamIndex, CalibrationDayHasItsDescriptionAfterStartUp)
{
    IndexText().setText("5");
    EXPECT_EQ(Scroll().value(), 5);
    EXPECT_EQ(ShownDescription(), "Calib. giorno");
}

TEST_F(ParamIndex, SwitchingToTheSmallerFamilyMovesIndex200To155)
{
    ParamCatalogue qmx;
    qmx.LoadFamily(kQmx);
    IndexText().setText("200");
    ASSERT_EQ(Scroll().value(), 200);
    EXPECT_EQ(ShownDescription(), qmx.Description(200));

    ChooseFamily(kLum);
    EXPECT_EQ(Scroll().maximum(), 155);
    EXPECT_EQ(Scroll().value(), 155);
    EXPECT_EQ(IndexText().text(), "155");
    // 155 is one of the entries the smaller family leaves as the first family wrote it.
    ParamCatalogue afterSwitch = qmx;
    afterSwitch.LoadFamily(kLum);
    EXPECT_EQ(ShownDescription(), afterSwitch.Description(155));
    EXPECT_EQ(ShownDescription(), rig.form->Catalogue().Description(155));
    EXPECT_FALSE(ShownDescription().empty());

    ChooseFamily(kQmx);
    EXPECT_EQ(Scroll().maximum(), 204);
    EXPECT_EQ(IndexText().text(), "155");
    EXPECT_EQ(ShownDescription(), qmx.Description(155));
}

TEST_F(ParamIndex, IndexWithinTheSmallerFamilyStaysOnSwitch)
{
    IndexText().setText("29");
    ChooseFamily(kLum);
    EXPECT_EQ(IndexText().text(), "29");
    EXPECT_EQ(Scroll().value(), 29);
    EXPECT_EQ(ShownDescription(), rig.form->Catalogue().Description(29));
}

TEST_F(ParamIndex, IndexOutsideTheFamilyResetsTheTextToZero)
{
    ParamCatalogue lum;
    lum.LoadFamily(kQmx);
    lum.LoadFamily(kLum);

    ChooseFamily(kLum);
    IndexText().setText("42");
    IndexText().setText("300");
    EXPECT_EQ(IndexText().text(), "0");
    EXPECT_EQ(Scroll().value(), 0);
    EXPECT_EQ(ShownDescription(), lum.Description(0));

    IndexText().setText("155");
    EXPECT_EQ(Scroll().value(), 155);
    IndexText().setText("156");
    EXPECT_EQ(IndexText().text(), "0");

    IndexText().setText("-1");
    EXPECT_EQ(IndexText().text(), "0");
}

TEST_F(ParamIndex, LastIndexOfTheLargerFamilyIsValidAndTheNextIsNot)
{
    IndexText().setText("204");
    EXPECT_EQ(IndexText().text(), "204");
    EXPECT_EQ(Scroll().value(), 204);
    IndexText().setText("205");
    EXPECT_EQ(IndexText().text(), "0");
    EXPECT_EQ(Scroll().value(), 0);
}

TEST_F(ParamIndex, FractionalIndexIsRoundedHalfToEven)
{
    IndexText().setText("12.5");
    EXPECT_EQ(Scroll().value(), 12);
    IndexText().setText("13.5");
    EXPECT_EQ(Scroll().value(), 14);
    // The scroll bar moved, so the text follows it.
    EXPECT_EQ(IndexText().text(), "14");
    IndexText().setText("204.6");
    EXPECT_EQ(IndexText().text(), "0");
}

TEST_F(ParamIndex, TextWithoutANumberMeansIndexZero)
{
    IndexText().setText("7");
    IndexText().setText("abc");
    EXPECT_EQ(Scroll().value(), 0);
    EXPECT_EQ(IndexText().text(), "0");
    EXPECT_EQ(ShownDescription(), rig.form->Catalogue().Description(0));
}

TEST_F(ParamIndex, ScrollBarWritesTheIndexText)
{
    Scroll().setValue(42);
    EXPECT_EQ(IndexText().text(), "42");
    EXPECT_EQ(ShownDescription(), rig.form->Catalogue().Description(42));
    Scroll().setValue(6);
    EXPECT_EQ(IndexText().text(), "6");
    EXPECT_EQ(ShownDescription(), "Calib. mese");
}

TEST_F(ParamIndex, ButtonsAreThereWithTheirCaptions)
{
    EXPECT_EQ(rig.Control<QPushButton>("cmdParamReadSingle").text(), "Read");
    EXPECT_EQ(rig.Control<QPushButton>("cmdParamWriteSingle").text(), "Write");
    EXPECT_EQ(rig.Control<QPushButton>("cmdParamInfo").text(), "Info");
    EXPECT_TRUE(rig.Control<QLineEdit>("txtParValue").text().isEmpty());
    EXPECT_TRUE(rig.Control<StatusBox>("txtParamStatus").Text().empty());
}
