// Every parameter at once, against the simulated instrument in virtual time: the sheet read in one
// session, an index the instrument refuses, a link lost halfway, Stop; and the sheet's CSV form.
#include <gtest/gtest.h>

#include "core/ResultCodes.h"
#include "link/SerialLink.h"
#include "params/ParamCatalogue.h"
#include "params/ParamOperations.h"
#include "params/ParamSheet.h"
#include "sim/SimBoards.h"
#include "sim/SimInstrument.h"
#include "sim/SimPort.h"
#include "sim/VirtualHost.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDialogs.h"

namespace {

constexpr std::uint8_t kReadParam = 'l';

struct SheetRig {
    explicit SheetRig(const std::string& model = "VRTA710") : instrument(SimIdentity{model, "00001234", "1.051.02  0314"})
    {
        host.SetLocalStart({2026, 12, 7, 10, 15, 0});
        port.SetExistingPorts({1});
        link.CommPortNumber = 1;
        instrument.SetParamFamily(SimCountsInParam26(model) ? "31420 QS-LUMPROB" : "31400 QMX, VERTA");
    }

    ParamSheetResult Read(ParamSheetRequest request = {})
    {
        OperationContext context{link, sink, ""};
        return ReadParameterSheet(context, request);
    }

    // The same index through the Param tab's Read.
    std::string ReadOne(int index, const std::string& familyEntry, int lastIndex)
    {
        ParamCatalogue catalogue;
        catalogue.LoadFamily(familyEntry);
        RecordingSink one;
        OperationContext context{link, one, ""};
        return ReadParameter(context, {catalogue, lastIndex, std::to_string(index), ""}).value.value_or("<none>");
    }

    int ParamRequests() const
    {
        int n = 0;
        for (const Bytes& request : instrument.Requests())
            n += request.size() > 1 && request[0] == kReadParam;
        return n;
    }

    VirtualHost host;
    SimInstrument instrument;
    SimBoards boards{instrument};
    SimPort port{boards, host};
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    RecordingSink sink;
};

}  // namespace

// A whole sheet of each family: one identification, every index once in order, each value as a
// single Read shows it, the catalogue's width and sign applied.
TEST(ParamSheet, WholeSheetOfEachFamilyInOneSession)
{
    const struct {
        const char* model;
        const char* family;
        const char* entry;
        int last;
        std::vector<std::pair<int, std::string>> stored;    // what the instrument holds
        std::vector<std::pair<int, std::string>> expected;  // what the sheet shows for it
    } cases[] = {
        {"VRTA710", "31400", "31400 QMX, VERTA", 204,
         {{0, "1234"}, {29, "65535"}, {204, "32768"}, {12, "4294967295"}, {1, "255"}},
         {{0, "00001234"}, {29, "-1"}, {204, "-32768"}, {12, "4294967295"}, {1, "255"}}},
        {"QSLUM", "31420", "31420 QS-LUMPROB", 155,
         {{103, "4294967295"}, {125, "2147483648"}, {25, "65534"}, {155, "7"}},
         {{103, "-1"}, {125, "-2147483648"}, {25, "-2"}, {155, "7"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        SheetRig rig(c.model);
        for (const auto& [index, text] : c.stored)
            rig.instrument.SetParam(index, text);
        const ParamSheetResult result = rig.Read();
        ASSERT_TRUE(result.ok()) << result.reason;
        EXPECT_TRUE(result.complete);
        EXPECT_EQ(result.sheet.familyCode, c.family);
        EXPECT_EQ(rig.ParamRequests(), c.last + 1);
        int identifications = 0;
        for (const Bytes& request : rig.instrument.Requests())
            identifications += request.size() == 1 && request[0] == 'I';
        EXPECT_EQ(identifications, 1);
        ASSERT_EQ(result.sheet.rows.size(), static_cast<std::size_t>(c.last + 1));
        ParamCatalogue catalogue;
        catalogue.LoadFamily(c.entry);
        for (const ParamSheetRow& row : result.sheet.rows) {
            EXPECT_EQ(row.index, &row - result.sheet.rows.data());
            EXPECT_EQ(row.description, catalogue.Description(row.index));
        }
        for (const auto& [index, shown] : c.expected)
            EXPECT_EQ(result.sheet.rows[static_cast<std::size_t>(index)].value, shown) << index;
        for (int index : {0, 1, 29, 103, c.last})
            EXPECT_EQ(result.sheet.rows[static_cast<std::size_t>(index)].value.value_or("<none>"),
                      rig.ReadOne(index, c.entry, c.last))
                << index;
    }
}

// The family asked for wins over the instrument's own.
TEST(ParamSheet, FamilyAskedForIsTheOneRead)
{
    SheetRig rig("VRTA710");
    const ParamSheetResult result = rig.Read({"31420", ""});
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.sheet.familyCode, "31420");
    EXPECT_EQ(result.sheet.rows.size(), 156u);

    SheetRig other("VRTA710");
    const ParamSheetResult refused = other.Read({"", "31420"});
    EXPECT_EQ(refused.code, ResultCode::Refused);
    EXPECT_EQ(other.ParamRequests(), 0);
    EXPECT_NE(refused.reason.find("31420"), std::string::npos);
}

// A refusal is kept with its reason and the reading goes on; two unanswered requests in a row are
// borne, the third ends the reading with what was read.
TEST(ParamSheet, RefusedIndexesAndALostLink)
{
    {
        SheetRig rig;
        rig.instrument.AddFault(SimFaultRule::Command(kReadParam, SimFault::NotOk).After(17).Times(1));
        rig.instrument.AddFault(SimFaultRule::Command(kReadParam, SimFault::Nak).After(90).Times(1));
        const ParamSheetResult result = rig.Read();
        ASSERT_TRUE(result.ok()) << result.reason;
        EXPECT_TRUE(result.complete);
        ASSERT_EQ(result.sheet.rows.size(), 205u);
        EXPECT_FALSE(result.sheet.rows[17].value);
        EXPECT_EQ(result.sheet.rows[17].reason.substr(0, 30), "the instrument answered not OK");
        EXPECT_TRUE(result.sheet.rows[16].value);
        EXPECT_TRUE(result.sheet.rows[18].value);
        EXPECT_FALSE(result.sheet.rows[90].value);
        EXPECT_EQ(result.sheet.rows[90].reason.substr(0, 27), "the instrument answered NAK");
    }
    {
        SheetRig rig;
        rig.instrument.AddFault(SimFaultRule::Command(kReadParam, SimFault::Busy).After(60).Times(3));
        const ParamSheetResult result = rig.Read();
        EXPECT_TRUE(result.ok()) << "refusals in a row are no lost link: " << result.reason;
        EXPECT_EQ(result.sheet.rows.size(), 205u);
    }
    {
        SheetRig rig;
        rig.instrument.AddFault(SimFaultRule::Command(kReadParam, SimFault::Silence).After(50).Times(2));
        const ParamSheetResult result = rig.Read();
        EXPECT_TRUE(result.ok()) << result.reason;
        EXPECT_EQ(result.sheet.rows.size(), 205u);
        EXPECT_FALSE(result.sheet.rows[51].value);
        EXPECT_TRUE(result.sheet.rows[52].value);
    }
    {
        SheetRig rig;
        rig.instrument.AddFault(SimFaultRule::Command(kReadParam, SimFault::Silence).After(100));
        const ParamSheetResult result = rig.Read();
        EXPECT_EQ(result.code, ResultCode::NoFrame);
        EXPECT_FALSE(result.complete);
        ASSERT_EQ(result.sheet.rows.size(), 103u);
        EXPECT_TRUE(result.sheet.rows[99].value);
        EXPECT_FALSE(result.sheet.rows[100].value);
        EXPECT_EQ(rig.ParamRequests(), 103);
        EXPECT_NE(result.reason.find("100-102"), std::string::npos) << result.reason;
    }
}

// Stop ends the reading after the index under way; the sheet holds every index read.
TEST(ParamSheet, StopEndsAfterTheIndexUnderWay)
{
    SheetRig rig;
    rig.sink.stop = [&] { return rig.ParamRequests() >= 40; };
    const ParamSheetResult result = rig.Read();
    EXPECT_EQ(result.interruption.kind, Interruption::Kind::Stopped);
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.sheet.rows.size(), 40u);
    EXPECT_EQ(rig.ParamRequests(), 40);
    EXPECT_TRUE(result.sheet.rows.back().value);
}

// The CSV form: written and read back whole, quotes and commas kept; texts that are not a sheet
// refused with the reason; the family found from the descriptions.
TEST(ParamSheet, CsvFormAndTextsThatAreNotSheets)
{
    SheetRig rig;
    rig.instrument.AddFault(SimFaultRule::Command(kReadParam, SimFault::Busy).After(2).Times(1));
    const ParamSheet sheet = rig.Read().sheet;
    const std::string csv = SheetCsv(sheet);
    EXPECT_EQ(csv.substr(0, csv.find("0,SN")),
              "# VRTA710 00001234 1.05 2026-12-07T10:15:00\r\nindex,description,value\r\n");
    EXPECT_NE(csv.find("\r\n2,\"Distributore 0=KV, 1=RDN, 2=OSLA 3=MERID\",\r\n"), std::string::npos);
    EXPECT_NE(csv.find("\r\n# refused 2: the instrument is busy"), std::string::npos);

    const ParsedSheet back = ParseSheetCsv(csv);
    ASSERT_TRUE(back.sheet) << back.problem;
    EXPECT_EQ(back.sheet->familyCode, "31400");
    EXPECT_EQ(back.sheet->instrument.Name, "VRTA710");
    EXPECT_EQ(back.sheet->instrument.FwVersion, "1.05");
    ASSERT_EQ(back.sheet->rows.size(), sheet.rows.size());
    for (std::size_t i = 0; i < sheet.rows.size(); ++i) {
        EXPECT_EQ(back.sheet->rows[i].description, sheet.rows[i].description) << i;
        EXPECT_EQ(back.sheet->rows[i].value, sheet.rows[i].value) << i;
    }
    EXPECT_EQ(back.sheet->rows[2].reason.substr(0, 22), "the instrument is busy");
    EXPECT_TRUE(CompareSheets(*back.sheet, sheet).empty());

    EXPECT_EQ(CsvField("a \"b\", c"), "\"a \"\"b\"\", c\"");
    EXPECT_EQ(CsvField(" x"), "\" x\"");
    EXPECT_EQ(CsvField("x"), "x");
    const std::string quoted = "# VRTA710 00001234 1.05 2026-12-07T10:15:00\r\nindex,description,value\r\n0,SN,\"1\"\"2, 3\"\r\n";
    const ParsedSheet withQuotes = ParseSheetCsv(quoted);
    ASSERT_TRUE(withQuotes.sheet) << withQuotes.problem;
    EXPECT_EQ(withQuotes.sheet->rows[0].value, "1\"2, 3");

    const std::string head = "# VRTA710 00001234 1.05 2026-12-07T10:15:00\nindex,description,value\n";
    const struct {
        std::string text;
        std::string problem;
    } bad[] = {
        {"", "first line"},
        {"index,description,value\n0,SN,1\n", "first line"},
        {"# VRTA710 00001234 1.05 yesterday\nindex,description,value\n", "first line"},
        {"# VRTA710 00001234 1.05 2026-12-07T10:15:00\nindex;description;value\n", "second line"},
        {head + "0,SN,1\n0,SN,2\n", "line 4: index 0 is out of order"},
        {head + "0,\"SN,1\n", "line 3"},
        {head + "0,S\"N,1\n", "line 3"},
        {head + "0,SN\n", "line 3"},
        {head + "x,SN,1\n", "line 3"},
        {head + "0,Serial,1\n", "no parameter family"},
        {head + "0,SN,1\n# refused two: busy\n", "line 4"},
    };
    for (const auto& b : bad) {
        const ParsedSheet parsed = ParseSheetCsv(b.text);
        EXPECT_FALSE(parsed.sheet) << b.text;
        EXPECT_NE(parsed.problem.find(b.problem), std::string::npos) << b.text << " -> " << parsed.problem;
    }
}

// Only the indexes whose value differs are listed, a refused value counting as none.
TEST(ParamSheet, ComparisonListsTheIndexesThatDiffer)
{
    SheetRig rig;
    const ParamSheet before = rig.Read().sheet;
    rig.instrument.SetParam(12, "300");
    rig.instrument.SetParam(204, "1");
    rig.instrument.AddFault(SimFaultRule::Command(kReadParam, SimFault::NotOk).After(7).Times(1));
    const ParamSheet after = rig.Read().sheet;
    const std::vector<ParamDifference> differences = CompareSheets(before, after);
    ASSERT_EQ(differences.size(), 3u);
    EXPECT_EQ(differences[0].index, 7);
    EXPECT_EQ(differences[0].now, "");
    EXPECT_EQ(differences[1].index, 12);
    EXPECT_EQ(differences[1].saved, "0");
    EXPECT_EQ(differences[1].now, "300");
    EXPECT_EQ(differences[2].index, 204);
}
