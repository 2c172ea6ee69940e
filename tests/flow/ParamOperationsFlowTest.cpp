#include <gtest/gtest.h>

#include <QSignalBlocker>
#include <string>

#include "AppRig.h"

namespace {

const std::string kLum = "31420 QS-LUMPROB";

// The Param tab with the simulated instrument on COMM1.
struct ParamButtons : ::testing::Test {
    AppRig rig;
    void SetUp() override
    {
        rig.WriteConfig("31400-paramedit\r\n");
        ASSERT_TRUE(rig.Start());
        rig.form->SSTab1->setCurrentIndex(2);
        rig.instrument.ClearRecord();
    }
    QLineEdit& Index() { return rig.Control<QLineEdit>("txtParTipo"); }
    QLineEdit& Value() { return rig.Control<QLineEdit>("txtParValue"); }
    std::string Outcome() { return rig.form->Param->StatusText(); }
    void Read() { rig.Control<QPushButton>("cmdParamReadSingle").click(); }
    void Write() { rig.Control<QPushButton>("cmdParamWriteSingle").click(); }
    void Info() { rig.Control<QPushButton>("cmdParamInfo").click(); }
    void ChooseFamily(const std::string& family)
    {
        auto& list = rig.Control<QComboBox>("cmbParamTipoStrum");
        list.setCurrentIndex(list.findText(QString::fromStdString(family)));
    }
    // Payloads the instrument received, as text for the printable ones.
    std::vector<std::string> Requests() const
    {
        std::vector<std::string> out;
        for (const Bytes& payload : rig.instrument.Requests())
            out.emplace_back(payload.begin(), payload.end());
        return out;
    }
    static std::string WriteRequest(int index, const std::string& digits)
    {
        return std::string{'i', static_cast<char>(index >> 8), static_cast<char>(index & 0xFF)} + digits;
    }
    static std::string ReadRequest(int index)
    {
        return std::string{'l', static_cast<char>(index >> 8), static_cast<char>(index & 0xFF), '\0'};
    }
    bool ControlsEnabled()
    {
        return rig.form->SSTab1->isEnabled() && rig.Control<QPushButton>("cmdParamReadSingle").isEnabled() &&
               rig.Control<QPushButton>("cmdParamWriteSingle").isEnabled() &&
               rig.Control<QPushButton>("cmdParamInfo").isEnabled();
    }
};

}  // namespace

TEST_F(ParamButtons, ReadOfIndexZeroShowsEightDigitsAndBadIndexTextMeansZero)
{
    rig.instrument.SetParam(0, "1234");
    Index().setText("abc");
    Read();
    EXPECT_EQ(Index().text(), "0");
    EXPECT_EQ(Value().text(), "00001234");
    EXPECT_EQ(Outcome(), "Reading OK");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"I", ReadRequest(0)}));
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(rig.Control<QLabel>("StatusBar1Panel2").text(), "Baud: 115200");
}

TEST_F(ParamButtons, ReadCorrectsTheSignOfSignedParameters)
{
    rig.instrument.SetParam(29, "65535");  // signed 16 bits in the first family
    Index().setText("29");
    Read();
    EXPECT_EQ(Value().text(), "-1");

    ChooseFamily(kLum);  // an unsigned byte there
    rig.instrument.SetParam(29, "255");
    Index().setText("29");
    Read();
    EXPECT_EQ(Value().text(), "255");

    rig.instrument.SetParam(103, "4294967295");  // signed 32 bits
    Index().setText("103");
    Read();
    EXPECT_EQ(Value().text(), "-1");
    EXPECT_EQ(Outcome(), "Reading OK");
}

TEST_F(ParamButtons, NegativeValuesAreSentAsTheirWidthsComplement)
{
    // Signed 16 bits: -1 goes out as 65535, reads back as -1 and is committed.
    Index().setText("29");
    Value().setText("-1");
    Write();
    EXPECT_EQ(Outcome(), "Writing OK");
    EXPECT_EQ(Value().text(), "-1");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"I", WriteRequest(29, "65535"), ReadRequest(29), "r"}));
    EXPECT_EQ(rig.instrument.Commits(), 1);

    // One unsigned byte: 255; two unsigned bytes: -2 is 65534.
    rig.instrument.ClearRecord();
    Index().setText("1");
    Value().setText("-1");
    Write();
    EXPECT_EQ(Requests().at(1), WriteRequest(1, "255"));
    rig.instrument.ClearRecord();
    Index().setText("24");
    Value().setText("-2");
    Write();
    EXPECT_EQ(Requests().at(1), WriteRequest(24, "65534"));
}

TEST_F(ParamButtons, UnsignedReadBackThatDiffersGivesAnEmptyOutcomeAndNoCommit)
{
    Index().setText("24");  // unsigned 16 bits
    Value().setText("-1");
    Write();
    EXPECT_EQ(Outcome(), "");
    EXPECT_EQ(Value().text(), "");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"I", WriteRequest(24, "65535"), ReadRequest(24)}));
    EXPECT_EQ(rig.instrument.Commits(), 0);
}

TEST_F(ParamButtons, InstrumentThatStoresSomethingElseIsAMismatch)
{
    rig.instrument.SetParamReadBackOverride(40, "7");
    Index().setText("40");
    Value().setText("8");
    Write();
    EXPECT_EQ(Outcome(), "");
    EXPECT_EQ(rig.instrument.Commits(), 0);
}

TEST_F(ParamButtons, FractionsAreWrittenRoundedAndReadBackWithoutMismatch)
{
    Index().setText("40");
    Value().setText("12.6");
    Write();
    EXPECT_EQ(Requests().at(1), WriteRequest(40, "13"));
    EXPECT_EQ(Outcome(), "Writing OK");
    EXPECT_EQ(Value().text(), "13");
}

TEST_F(ParamButtons, ValuesThatCannotBeSentAreRefusedBeforeSending)
{
    Index().setText("0");
    Value().setText("12345678901234");  // 14 digits
    Write();
    EXPECT_EQ(Outcome(), "VALUE too long (max 13 digits)");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"I"}));

    rig.instrument.ClearRecord();
    Index().setText("1");  // one byte: -300 has no representation
    Value().setText("-300");
    Write();
    EXPECT_EQ(Outcome(), "VALUE out of range for the parameter's width");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"I"}));

    rig.instrument.ClearRecord();
    Index().setText("0");
    Value().setText("1234567890123");  // 13 digits fit
    Write();
    EXPECT_EQ(Requests().at(1), WriteRequest(0, "1234567890123"));
}

TEST_F(ParamButtons, IndexOutOfTheFamilysRange)
{
    // The index box resets a text out of range as it is typed; one that got past it is refused.
    const auto force = [&](const char* text) {
        QSignalBlocker quiet(&Index());
        Index().setText(text);
    };
    force("205");
    Read();
    EXPECT_EQ(Outcome(), "TYPE out of range (0-204)");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"I"}));

    ChooseFamily(kLum);
    force("156");
    Value().setText("1");
    Write();
    EXPECT_EQ(Outcome(), "TYPE out of range (0-155)");
    force("-1");
    Read();
    EXPECT_EQ(Outcome(), "TYPE out of range (0-155)");
    EXPECT_EQ(rig.instrument.CountRequests('l') + rig.instrument.CountRequests('i'), 0u);
}

TEST_F(ParamButtons, EmptyIndexOrValueText)
{
    Index().setText("");
    Value().setText("5");
    Write();
    EXPECT_EQ(Outcome(), "Error: Null TYPE string");
    Index().setText("3");
    Value().setText("");
    Write();
    EXPECT_EQ(Outcome(), "Null VALUE string");
    EXPECT_EQ(rig.instrument.CountRequests('i'), 0u);
}

TEST_F(ParamButtons, NoInstrument)
{
    rig.instrument.AddFault(SimFaultRule::Any(SimFault::Silence));
    const double start = rig.host.Now();
    Read();
    EXPECT_EQ(Outcome(), " Serial error !!\r\n  Check connection.");
    EXPECT_NEAR(rig.host.Now() - start, 0.25 + 0.4, 1e-9) << "opening, then one acknowledge wait";
    Write();
    EXPECT_EQ(Outcome(), " Serial error !!\r\n\r\n  Check connection.");
    Info();
    EXPECT_EQ(Outcome(), " Serial error !!\r\n\r\n  Check connection.");
    EXPECT_EQ(rig.instrument.CountRequests('l') + rig.instrument.CountRequests('i'), 0u);
    EXPECT_TRUE(ControlsEnabled());
    EXPECT_FALSE(rig.port.IsOpen());
}

TEST_F(ParamButtons, RefusedOrSilentReadAndWrite)
{
    rig.instrument.AddFault(SimFaultRule::Command('l', SimFault::Nak).Times(1));
    Index().setText("12");
    Read();
    EXPECT_EQ(Outcome(), "");
    EXPECT_EQ(Value().text(), "");

    rig.instrument.AddFault(SimFaultRule::Command('i', SimFault::Nak).Times(1));
    Value().setText("3");
    Write();
    EXPECT_EQ(Outcome(), "");
    rig.instrument.AddFault(SimFaultRule::Command('i', SimFault::Silence).Times(1));
    Value().setText("3");
    Write();
    EXPECT_EQ(Outcome(), "");
    EXPECT_EQ(rig.instrument.CountRequests('r'), 0u) << "no commit after a failed write";
    EXPECT_EQ(rig.instrument.CountRequests('l'), 1u) << "no read-back after a failed write";

    // A busy commit is a failure too.
    rig.instrument.AddFault(SimFaultRule::Command('r', SimFault::Busy).Times(1));
    Value().setText("3");
    Write();
    EXPECT_EQ(Outcome(), "");
}

TEST_F(ParamButtons, InfoShowsTheIdentity)
{
    Info();
    EXPECT_EQ(Outcome(), "VRTA708 SN. 00001234\r\n  fw:1.05\r\n");
    EXPECT_TRUE(rig.form->mnuSeriale->menuAction()->isEnabled());
}

TEST_F(ParamButtons, ControlsAreDisabledWhileAnOperationRuns)
{
    bool enabledDuring = true;
    bool commMenuDuring = true;
    rig.host.CallAfter(0.1, [&] {
        enabledDuring = ControlsEnabled();
        commMenuDuring = rig.form->mnuSeriale->menuAction()->isEnabled();
    });
    Info();
    EXPECT_FALSE(enabledDuring);
    EXPECT_FALSE(commMenuDuring);
    EXPECT_TRUE(ControlsEnabled());

    rig.instrument.AddFault(SimFaultRule::Command('I', SimFault::Silence));
    enabledDuring = true;
    rig.host.CallAfter(0.1, [&] { enabledDuring = ControlsEnabled(); });
    Read();
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(ControlsEnabled()) << "enabled again after a failed identification";
}
