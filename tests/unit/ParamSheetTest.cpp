// Parameters against the simulated instrument in virtual time: one read or written as the Param tab
// asks, and the whole sheet in one session (refusals, a link lost halfway, its CSV form).
#include <gtest/gtest.h>

#include <optional>

#include "link/SerialLink.h"
#include "params/ParamOperations.h"
#include "params/ParamSheet.h"
#include "sim/SimBoards.h"
#include "sim/SimPort.h"
#include "sim/VirtualHost.h"
#include "support/RecordingSink.h"
#include "support/ScriptedDialogs.h"
#include "support/SimTestHelpers.h"

using simtest::ParamRead;
using simtest::ParamWrite;

namespace {

constexpr std::uint8_t kReadParam = 'l';
const std::string kQmx = "31400 QMX, VERTA";
const std::string kLum = "31420 QS-LUMPROB";
using Sent = std::vector<Bytes>;

struct SheetRig {
    explicit SheetRig(const std::string& model = "VRTA710") : instrument(SimIdentity{model, "00001234", "1.051.02  0314"})
    {
        host.SetLocalStart({2026, 12, 7, 10, 15, 0});
        port.SetExistingPorts({1});
        link.CommPortNumber = 1;
        instrument.SetParamFamily(SimCountsInParam26(model) ? kLum : kQmx);
    }
    ParamSheetResult Read(ParamSheetRequest request = {})
    {
        OperationContext context{link, sink, ""};
        return ReadParameterSheet(context, request);
    }
    int Requests(std::uint8_t command) const { return static_cast<int>(instrument.CountRequests(command)); }
    // Read and Write with the texts typed, on the family's catalogue as the program loads it (the
    // smaller family over the first one), after a quiet line and with a fresh record of the requests.
    ParamResult Run(bool write, const std::string& family, const std::string& index, const std::string& value = "")
    {
        host.RunUntil(host.Now() + kLateAnswerQuietS);
        instrument.ClearRecord();
        OperationContext context{link, sink, ""};
        const ParamRequest request{family == kQmx ? qmx : lum, family == kQmx ? qmxLast : lumLast, index, value};
        return write ? WriteParameter(context, request) : ReadParameter(context, request);
    }

    ParamCatalogue qmx, lum;
    int qmxLast = *qmx.LoadFamily(kQmx);
    int lumLast = (lum = qmx, *lum.LoadFamily(kLum));
    VirtualHost host;
    SimInstrument instrument;
    SimBoards boards{instrument};
    SimPort port{boards, host};
    ScriptedDialogs dialogs;
    SerialLink link{port, host, dialogs};
    RecordingSink sink;
};

// The refused indexes of a sheet with their reasons, without what came back.
std::string Refused(const ParamSheet& sheet)
{
    std::string refused;
    for (const ParamSheetRow& row : sheet.rows)
        if (!row.value)
            refused += std::to_string(row.index) + " " + row.reason.substr(0, row.reason.find(" (")) + "; ";
    return refused;
}

}  // namespace

// One identification, every index once in order, each value with the catalogue's width and sign
// applied on both sides of the sign bit, index 0 with eight digits.
TEST(ParamSheet, WholeSheetOfEachFamilyInOneSession)
{
    const struct {
        const char *model, *family, *entry;
        int last;
        std::vector<std::pair<int, std::string>> stored;  // and what the sheet shows for it
    } cases[] = {
        {"VRTA710", "31400", "31400 QMX, VERTA", 204,
         {{0, "1234=00001234"}, {29, "65535=-1"}, {204, "32768=-32768"}, {203, "32767=32767"},
          {12, "4294967295=4294967295"}, {1, "255=255"}}},
        {"QSLUM", "31420", "31420 QS-LUMPROB", 155,
         {{103, "4294967295=-1"}, {125, "2147483648=-2147483648"}, {105, "2147483647=2147483647"}, {25, "65534=-2"},
          {29, "255=255"}, {155, "7=7"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        SheetRig rig(c.model);
        for (const auto& [index, text] : c.stored)
            rig.instrument.SetParam(index, text.substr(0, text.find('=')));
        const ParamSheetResult result = rig.Read();
        ASSERT_TRUE(result.ok() && result.complete) << result.reason;
        EXPECT_EQ(result.sheet.familyCode, c.family);
        EXPECT_EQ(std::to_string(rig.Requests(kReadParam)) + " reads, " + std::to_string(rig.Requests('I')) + " identification",
                  std::to_string(c.last + 1) + " reads, 1 identification");
        ASSERT_EQ(result.sheet.rows.size(), static_cast<std::size_t>(c.last + 1));
        ParamCatalogue catalogue;
        catalogue.LoadFamily(c.entry);
        for (const ParamSheetRow& row : result.sheet.rows) {
            EXPECT_EQ(row.index, &row - result.sheet.rows.data());
            EXPECT_EQ(row.description, catalogue.Description(row.index));
        }
        for (const auto& [index, text] : c.stored)
            EXPECT_EQ(result.sheet.rows[static_cast<std::size_t>(index)].value, text.substr(text.find('=') + 1)) << index;
    }
}

// A refusal is kept with its reason and the reading goes on; two unanswered requests in a row are
// borne, the third ends the reading with what was read.
TEST(ParamSheet, RefusedIndexesAndALostLink)
{
    const auto param = [](SimFault fault, int after, int times) {
        return SimFaultRule::Command(kReadParam, fault).After(after).Times(times);
    };
    const struct { std::vector<SimFaultRule> faults; ResultCode code; std::size_t rows; std::string refused, why; } cases[] = {
        {{param(SimFault::NotOk, 17, 1), param(SimFault::Nak, 90, 1)}, ResultCode::Ok, 205,
         "17 the instrument answered not OK; 90 the instrument answered NAK; ", ""},
        {{param(SimFault::Busy, 60, 3)}, ResultCode::Ok, 205,
         "60 the instrument is busy; 61 the instrument is busy; 62 the instrument is busy; ", ""},
        {{param(SimFault::Silence, 50, 2)}, ResultCode::Ok, 205, "50 no complete answer; 51 no complete answer; ", ""},
        {{param(SimFault::Silence, 100, kSimForever)}, ResultCode::NoFrame, 103,
         "100 no complete answer; 101 no complete answer; 102 no complete answer; ",
         "no answer 3 times in a row (indexes 100-102): the link is lost"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused);
        SheetRig rig;
        for (const SimFaultRule& fault : c.faults)
            rig.instrument.AddFault(fault);
        const ParamSheetResult result = rig.Read();
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.complete, c.code == ResultCode::Ok);
        EXPECT_EQ(result.sheet.rows.size(), c.rows);
        EXPECT_EQ(rig.Requests(kReadParam), static_cast<int>(c.rows));
        EXPECT_EQ(Refused(result.sheet), c.refused);
        EXPECT_EQ(result.reason, c.why);
    }
}

// Written and read back whole, quotes and commas kept; texts that are not a sheet refused with the
// reason; the family found from the descriptions.
TEST(ParamSheet, CsvFormAndTextsThatAreNotSheets)
{
    SheetRig rig;
    rig.instrument.AddFault(SimFaultRule::Command(kReadParam, SimFault::Busy).After(2).Times(1));
    const ParamSheet sheet = rig.Read().sheet;
    const std::string csv = SheetCsv(sheet);
    EXPECT_EQ(csv.substr(0, csv.find("0,SN")), "# VRTA710 00001234 1.05 2026-12-07T10:15:00\r\nindex,description,value\r\n");
    EXPECT_NE(csv.find("\r\n2,\"Distributore 0=KV, 1=RDN, 2=OSLA 3=MERID\",\r\n"), std::string::npos);
    EXPECT_NE(csv.find("\r\n# refused 2: the instrument is busy"), std::string::npos);

    const ParsedSheet back = ParseSheetCsv(csv);
    ASSERT_TRUE(back.sheet) << back.problem;
    EXPECT_EQ(back.sheet->familyCode, "31400");
    EXPECT_EQ(SheetCsv(*back.sheet), csv) << "every row, value and refusal read back";
    EXPECT_EQ(Refused(*back.sheet), "2 the instrument is busy; ");
    EXPECT_TRUE(CompareSheets(*back.sheet, sheet).empty());

    EXPECT_EQ(CsvField("a \"b\", c") + CsvField(" x") + CsvField("x ") + CsvField("x"), "\"a \"\"b\"\", c\"\" x\"\"x \"x");
    const std::string head = "# VRTA710 00001234 1.05 2026-12-07T10:15:00\nindex,description,value\n";
    const ParsedSheet quoted = ParseSheetCsv(head + "0,SN,\"1\"\"2, 3\"\r\n");
    ASSERT_TRUE(quoted.sheet) << quoted.problem;
    EXPECT_EQ(quoted.sheet->rows[0].value, "1\"2, 3");

    const std::pair<std::string, std::string> bad[] = {
        {"", "first line"},
        {"# VRTA710 00001234 1.05 yesterday\nindex,description,value\n", "first line"},
        {"# VRTA710 00001234 1.05 2026-12-07T10:15:00\nindex;description;value\n", "second line"},
        {head + "0,SN,1\n0,SN,2\n", "line 4: index 0 is out of order"},
        {head + "0,\"SN,1\n", "line 3"},
        {head + "0,SN\n", "line 3"},
        {head + "x,SN,1\n", "line 3"},
        {head + "0,Serial,1\n", "no parameter family"},
        {head + "0,SN,1\n# refused two: busy\n", "line 4"},
    };
    for (const auto& [text, problem] : bad) {
        const ParsedSheet parsed = ParseSheetCsv(text);
        EXPECT_FALSE(parsed.sheet) << text;
        EXPECT_NE(parsed.problem.find(problem), std::string::npos) << text << " -> " << parsed.problem;
    }
}

// Only the indexes whose value differs are listed, a refused value counting as none.
TEST(ParamSheet, ComparisonListsTheIndexesThatDiffer)
{
    const auto refusedAt = [](int index) { return SimFaultRule::Command(kReadParam, SimFault::NotOk).After(index).Times(1); };
    SheetRig rig;
    rig.instrument.AddFault(refusedAt(7));
    const ParamSheet before = rig.Read().sheet;
    rig.instrument.SetParam(12, "300");
    rig.instrument.SetParam(204, "1");
    rig.instrument.ClearFaults();
    rig.instrument.AddFault(refusedAt(7));
    rig.instrument.AddFault(refusedAt(9));
    std::string listed;
    for (const ParamDifference& d : CompareSheets(before, rig.Read().sheet))
        listed += std::to_string(d.index) + ": " + d.saved + " -> " + d.now + "; ";
    EXPECT_EQ(listed, "9: 0 -> ; 12: 0 -> 300; 204: 0 -> 1; ");
}

// An index text that names no index of the family is refused by Read and by Write alike, after the
// identification, and parameter 0 is never read or written in its place.
TEST(ParamRead, IndexTextsThatNameNoIndexAreRefusedByReadAndWrite)
{
    const std::string qmxOut = "TYPE out of range (0-204)";
    const std::pair<const std::string&, const char*> cases[] = {
        {kQmx, ""}, {kQmx, "  "}, {kQmx, "abc"}, {kQmx, "x5"}, {kQmx, "12abc"}, {kQmx, "204.6"}, {kQmx, "205"},
        {kQmx, "-1"}, {kLum, "156"},
    };
    SheetRig rig;
    rig.instrument.SetParam(0, "1234");
    for (const auto& [family, typed] : cases) {
        SCOPED_TRACE(family + ": '" + typed + "'");
        const std::string outcome = std::string(typed).find_first_not_of(' ') == std::string::npos
                                        ? "Error: Null TYPE string"
                                        : family == kQmx ? qmxOut : "TYPE out of range (0-155)";
        for (const bool write : {false, true}) {
            const ParamResult result = rig.Run(write, family, typed, "99");
            EXPECT_EQ(result.outcome, outcome);
            EXPECT_EQ(result.index, std::nullopt);
            EXPECT_EQ(rig.instrument.Requests(), Sent{{'I'}});
        }
        EXPECT_EQ(rig.instrument.Param(0), "1234");
    }
}

// What went out, what the value box shows (nothing: as typed), and whether it was committed: only a
// value the width holds goes out, only a value read back as written is committed.
TEST(ParamWrite, Outcomes)
{
    const auto once = [](char command, SimFault fault) { return SimFaultRule::Command(command, fault).Times(1); };
    const auto written = [](int index, const char* digits) { return Sent{ParamWrite(index, digits), ParamRead(index)}; };
    const auto committed = [](int index, const char* digits) {
        return Sent{ParamWrite(index, digits), ParamRead(index), {'r'}};
    };
    const std::string width = "VALUE out of range for the parameter's width";
    const struct {
        const char *index, *value;
        Sent sent;  // after the identification
        std::string outcome;
        std::optional<std::string> shown;
        std::optional<SimFaultRule> fault = std::nullopt;
        const char* readBack = nullptr;  // what the instrument answers for index 40, whatever it stored
    } cases[] = {
        // Signed 16 bits: -1 goes out as 65535 and reads back as -1; both ends of the width.
        {"29", "-1", committed(29, "65535"), "Writing OK", "-1"},
        {"29", "-32768", committed(29, "32768"), "Writing OK", "-32768"},
        {"29", "32767", committed(29, "32767"), "Writing OK", "32767"},
        {"29", "65535", written(29, "65535"), "", ""},  // reads back as -1
        {"40", "12.6", committed(40, "13"), "Writing OK", "13"},
        {"40", "7abc", committed(40, "7"), "Writing OK", "7"},
        {"0", "4294967295", committed(0, "4294967295"), "Writing OK", "4294967295"},
        {"1", "255", committed(1, "255"), "Writing OK", "255"},
        // Unsigned: the width's complement goes out, and the value read back differs.
        {"1", "-1", written(1, "255"), "", ""},
        {"24", "-2", written(24, "65534"), "", ""},
        {"40", "8", written(40, "8"), "", "", std::nullopt, "7"},
        // Refused before anything is sent: one beyond each end of the width, no number.
        {"1", "256", {}, width, std::nullopt},
        {"1", "-129", {}, width, std::nullopt},
        {"29", "65536", {}, width, std::nullopt},
        {"29", "-32769", {}, width, std::nullopt},
        {"0", "4294967296", {}, width, std::nullopt},
        {"3", "abc", {}, "VALUE is not a number", std::nullopt},
        {"3", "", {}, "Null VALUE string", std::nullopt},
        // A refused or unanswered write is neither read back nor committed; a busy commit fails.
        {"12", "3", {ParamWrite(12, "3")}, "", "", once('i', SimFault::Nak)},
        {"12", "3", {ParamWrite(12, "3")}, "", "", once('i', SimFault::Silence)},
        {"12", "3", committed(12, "3"), "", "", once('r', SimFault::Busy)},
    };
    SheetRig rig;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.index) + " := " + c.value);
        rig.instrument.ClearFaults();
        if (c.fault)
            rig.instrument.AddFault(*c.fault);
        if (c.readBack)
            rig.instrument.SetParamReadBackOverride(40, c.readBack);
        const int commits = rig.instrument.Commits();
        const ParamResult result = rig.Run(true, kQmx, c.index, c.value);
        rig.instrument.ClearParamReadBackOverride(40);
        Sent sent{{'I'}};
        sent.insert(sent.end(), c.sent.begin(), c.sent.end());
        EXPECT_EQ(rig.instrument.Requests(), sent);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.value, c.shown);
        EXPECT_EQ(rig.instrument.Commits() - commits, c.outcome == "Writing OK" ? 1 : 0);
        EXPECT_FALSE(rig.port.IsOpen());
    }
}
