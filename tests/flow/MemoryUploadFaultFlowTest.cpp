// Upload of the Down mem tab when things go wrong: images that must not be written, writes the
// instrument refuses, retries, Stop, the window closed, ports and files that cannot be opened.
// Every refusal comes before the first write, and every run hands the window back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DownloadRig.h"
#include "core/Paths.h"
#include "link/Frames.h"
#include "support/SimTestHelpers.h"

namespace {

const std::string kImage = "VRTA708_00001234_fwV1.05_250101000000";

// The instrument's answer: ACK, then a short frame around `payload`.
std::string AnswerHex(const Bytes& payload)
{
    return BytesToHex(simtest::Acked(payload));
}

}  // namespace

// With both memories chosen, whatever is wrong with either image is found before the EEPROM
// is touched.
TEST_F(MemoryUploadFlow, ImagesThatCannotBeWrittenWhollyAreRefusedBeforeTheFirstWrite)
{
    Start();
    Pages("0", "27");
    enum Refusal { kNone, kEeprom, kFlash };
    const struct {
        char letter;
        std::size_t eepromSize;  // 0: no .epr, the .fla is chosen
        const char* flaSuffix;
        std::size_t flaSize;
        Refusal refused;
        std::string reason;
        bool flashTicked = true;
    } cases[] = {
        {'A', 1999, "_0000-0027.fla", 28 * kPage, kEeprom, "EPR file must hold 2000 bytes (1999 bytes)\r\n Aborted ... "},
        {'B', 2001, "_0000-0027.fla", 28 * kPage, kEeprom, "EPR file must hold 2000 bytes (2001 bytes)\r\n Aborted ... "},
        {'C', 2000, "_0000-0027.fla", 28 * kPage, kNone, ""},
        // A .fla chosen with both boxes ticked is taken as the EEPROM image too.
        {'D', 0, "_0000-0027.fla", 28 * kPage, kEeprom, "EPR file must hold 2000 bytes (114688 bytes)\r\n Aborted ... "},
        {'E', 2000, "_junk_file.fla", 28 * kPage, kFlash, "FLA file must be formatted as\r\n <*_xxxx-yyy.FLA>"},
        // Fewer bytes than the pages its name says, as a download that stopped early leaves.
        {'G', 2000, "_0000-0027.fla", 28 * kPage - 1, kFlash, "\r\nDimensione file: 114687\r\nPages 0-27 need 114688 bytes"},
        {'H', 2000, "_0000-0027.fla", 28 * kPage + 100, kNone, ""},
        {'J', 2000, "_0000-0027.fla", 28 * kPage, kNone, "", false},  // the EEPROM alone
    };
    for (const auto& c : cases) {
        const std::string base = c.letter + std::string("_1_fwV1_250101000000");
        const std::string flaName = base + c.flaSuffix;
        SCOPED_TRACE(flaName);
        NextUpload();
        Tick("chkFlashDown", c.flashTicked);
        const Bytes file = Pattern(c.flaSize, 3);
        const std::string fla = Image(flaName, file);
        const std::string chosen = c.eepromSize == 0 ? fla : Image(base + ".epr", Pattern(c.eepromSize, 8));
        Upload(chosen);

        switch (c.refused) {
        case kNone:
            EXPECT_EQ(Log(), EepromDone(base + ".epr") + (c.flashTicked ? FlashDone(flaName, "0-27") : ""));
            EXPECT_EQ(rig.instrument.Eeprom(), Pattern(2000, 8));
            if (c.flashTicked) {
                EXPECT_EQ(FlashPages(0, 27), Bytes(file.begin(), file.begin() + 28 * kPage)) << "whole pages only";
            }
            EXPECT_EQ(Commands(), c.flashTicked ? "I ex500 r E6x112" : "I ex500 r") << "the EEPROM is committed before the first page";
            EXPECT_EQ(Trail("  Addr: ").size(), 500u * 11 - 2) << "a line for every four-byte block";
            EXPECT_EQ(progress.empty() ? -1 : progress.front(), 0);
            EXPECT_EQ(LastProgress(), 100);
            break;
        case kEeprom:
            EXPECT_EQ(Log(), FileNameOfPath(chosen) + "\r\n  Upload Eeprom  ...\r\n" + c.reason);
            break;
        case kFlash:
            EXPECT_EQ(Log(), FlashHead(flaName) + c.reason + "\r\n Process ABORTED\r\n");
            break;
        }
        if (c.refused != kNone) {
            EXPECT_EQ(Commands(), "I");
            EXPECT_TRUE(rig.instrument.MemoryWrites().empty());
        }
        ASSERT_EQ(Titles(), Names{"Warning"});
        EXPECT_EQ(rig.dialogs.messages[0].icon, MsgIcon::Information);
        EXPECT_EQ(rig.dialogs.messages[0].text, kWarning);
        ExpectIdle();
    }
}

// A block write fails, in the EEPROM stage or in clear-all: the last answer is shown with
// " Aborted ... ", the flash stage does not run, and the blocks before it stay written (the image's
// bytes, or 0xFF). At 2000 every block is in but the instrument does not take the EEPROM over.
TEST_F(MemoryUploadFlow, AFailedEepromBlockOrCommitEndsTheRunBeforeTheFlashStage)
{
    Start();
    Pages("0", "1");
    const Bytes image = Pattern(2000, 9);
    const std::string epr = Image(kImage + ".epr", image);
    Image(Fla(kImage, 0, 1), FlashImage(2));
    const struct {
        bool clearAll;
        SimFault fault;
        int address;
        std::string answer;
        const char* commands;  // no flash
    } cases[] = {
        {false, SimFault::NakStatus, 400, AnswerHex({ctl::NAK}) + "  <NAK> answer", "I ex101"},
        {false, SimFault::NakStatus, 0, AnswerHex({ctl::NAK}) + "  <NAK> answer", "I e"},
        {false, SimFault::NakStatus, 1996, AnswerHex({ctl::NAK}) + "  <NAK> answer", "I ex500"},
        {false, SimFault::NotOk, 2000, "NO OK !!", "I ex500 r"},
        {false, SimFault::Silence, 2000, "Error (Rx: )", "I ex500 r"},
        {true, SimFault::Nak, 400, "15", "I ex101"},
        {true, SimFault::NotOk, 400, AnswerHex({'1'}), "I ex101"},
        {true, SimFault::Silence, 0, "", "I e"},
        {true, SimFault::Busy, 1996, AnswerHex({'2'}), "I ex500"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer + " at " + std::to_string(c.address) + (c.clearAll ? " clearing" : ""));
        NextUpload();
        Tick("chkDownEE2clearAll", c.clearAll);
        Tick("chkEE2Down", !c.clearAll);
        Tick("chkFlashDown", !c.clearAll);
        const Bytes before = rig.instrument.Eeprom();
        rig.instrument.AddFault(c.address == 2000 ? SimFaultRule::Command('r', c.fault) : SimFaultRule::EepromBlock(c.address, c.fault));
        Upload(c.clearAll ? std::nullopt : std::optional<std::string>(epr));

        const std::string head = c.clearAll ? " CLEAR Eeprom  ..." : kImage + ".epr\r\n  Upload Eeprom  ...";
        const std::string last = c.address == 2000 ? EepromDone(kImage + ".epr") + "CommitParams: " + c.answer
                                                   : head + "\r\n  Addr: " + ZeroPadded(c.address, 4) + "/1999\r\n Rx: " + c.answer;
        EXPECT_EQ(Log(), last + "\r\n Aborted ... ");
        EXPECT_EQ(Commands(), c.commands);
        EXPECT_EQ(EepromWrites(), static_cast<std::size_t>(c.address / 4));
        Bytes expected = before;
        if (c.clearAll)
            std::fill_n(expected.begin(), c.address, 0xFF);
        else
            std::copy_n(image.begin(), c.address, expected.begin());
        EXPECT_EQ(rig.instrument.Eeprom(), expected);
        ExpectIdle();
    }
    Tick("chkDownEE2clearAll", false);
}

// Pages 5 to 7; page 6 fails. The page is sent again from its first block; after eleven failures
// in a row the technician decides, and a Yes identifies the instrument again first.
TEST_F(MemoryUploadFlow, FailedPagesAreSentAgainAndElevenInARowAskWhetherToGoOn)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("5", "7");
    const std::string name = std::string(kImage) + "_0005-0007.fla";
    const Bytes file = FlashImage(3, 13);
    const std::string path = Image(name, file);
    const std::string busy = "Busy ...\r\nTx: E6<006000><0400> +<1024>\r\nNumBlocco: 0";
    const SimFaultRule page6Busy = SimFaultRule::Command(0xE6, SimFault::Busy).Target(0x6000, 0x6000);
    const std::string fails10 = "6/7, 6/7      RetryTot=1/1, 6/7      RetryTot=2/2, 6/7      RetryTot=3/3, "
                                "6/7      RetryTot=4/4, 6/7      RetryTot=5/5, 6/7      RetryTot=6/6, "
                                "6/7      RetryTot=7/7, 6/7      RetryTot=8/8, 6/7      RetryTot=9/9";
    const struct {
        const char* story;
        std::vector<SimFaultRule> faults;
        std::vector<MsgAnswer> retryAnswers;
        const char* commands;
        std::string trail;
        std::string failure;  // the message shown after a failed attempt
        bool written;
    } cases[] = {
        {"block 2 refused once", {SimFaultRule::Command(0xE6, SimFault::NakStatus).Target(0x6800, 0x6800).Times(1)}, {}, "I E6x15",
         "5/7, 6/7, 6/7      RetryTot=1/1, 7/7      RetryTot=1",
         "NAK\r\nTx: E6<006800><0400> +<1024>\r\nNumBlocco: 2", true},
        {"eleven failures, Yes", {SimFaultRule(page6Busy).Times(11)}, {MsgAnswer::Yes}, "I E6x15 I E6x8",
         "5/7, " + fails10 + ", 6/7      RetryTot=10/10, 6/7      RetryTot=11/1, 7/7      RetryTot=11", busy, true},
        {"Yes, but the instrument is gone", {page6Busy, SimFaultRule::Command('I', SimFault::Silence).After(1)},
         {MsgAnswer::Yes}, "I E6x15 I", "5/7, " + fails10 + ", 6/7      RetryTot=10/10", busy, false},
        {"Yes twice, then No", {page6Busy}, {MsgAnswer::Yes, MsgAnswer::Yes, MsgAnswer::No}, "I E6x15 I E6x10 I E6x10",
         "", busy, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        NextUpload();
        for (const SimFaultRule& fault : c.faults)
            rig.instrument.AddFault(fault);
        std::vector<MsgAnswer> answers{MsgAnswer::Yes};
        answers.insert(answers.end(), c.retryAnswers.begin(), c.retryAnswers.end());
        answers.push_back(MsgAnswer::No);  // a question too many ends the run instead of going on for ever
        Upload(path, answers);

        EXPECT_EQ(Commands(), c.commands);
        if (!c.trail.empty()) {
            EXPECT_EQ(Trail(" Page "), c.trail);
        }
        Names titles{"Warning"};
        for (std::size_t i = 0; i < c.retryAnswers.size(); ++i)
            titles.push_back("RETRY");
        EXPECT_EQ(Titles(), titles);
        if (titles.size() > 1) {
            EXPECT_EQ(rig.dialogs.messages[1].text, "Max RETRY ! \r\n\r\nContinue ?");
        }
        EXPECT_TRUE(std::find_if(logs.begin(), logs.end(), [&](const std::string& log) { return log.ends_with("\r\n" + c.failure); }) !=
                    logs.end());
        EXPECT_EQ(FlashPages(5, 5), Bytes(file.begin(), file.begin() + kPage));
        if (c.written) {
            EXPECT_EQ(FlashPages(5, 7), file);
            EXPECT_EQ(Log(), FlashDone(name, "5-7"));
            EXPECT_EQ(LastProgress(), 100);
        } else {
            EXPECT_EQ(PagesWritten(), "5");
            const std::string trail = Trail(" Page ");
            EXPECT_EQ(Log(), FlashHead(name) + " Page " + trail.substr(trail.rfind(", ") + 2) + "\r\n" + c.failure +
                                 "\r\n Process ABORTED\r\n");
        }
        ExpectIdle();
    }
}

// Stop ends the stage after the write (or, in a download, the read) on its way: nothing more is
// sent, a download saves nothing; the captions and locks come back.
TEST_F(MemoryUploadFlow, StopEndsEachStageAfterTheWriteOnItsWay)
{
    Start();
    const Bytes image = Pattern(2000, 14);
    const std::string epr = Image(kImage + ".epr", image);
    Image(Fla(kImage, 5, 7), FlashImage(3, 15));
    const auto slow = [](SimFaultRule rule) { return rule.Delay(0.2).Times(1); };
    const struct {
        const char* story;
        bool clearAll, eeprom, flash;
        SimFaultRule fault;
        std::function<bool(MemoryUploadFlow&)> when;
        bool bar;
        std::string log;
        const char* commands;
        bool download = false;
    } cases[] = {
        {"download, EEPROM stage", false, true, true, slow(SimFaultRule::EepromBlock(400, SimFault::Slow)),
         [](MemoryUploadFlow& t) { return t.rig.instrument.CountRequests('e') == 5; }, false,
         std::string(kIdLine) + "Download Eeprom  ...\r\nAddr: 0400\r\n Aborted ... ", "I l ex5", true},
        {"clear-all", true, false, false, slow(SimFaultRule::EepromBlock(400, SimFault::Slow)),
         [](MemoryUploadFlow& t) { return t.rig.instrument.CountRequests('e') == 101; }, false,
         " CLEAR Eeprom  ...\r\n  Addr: 0400/1999\r\n Rx: " + AnswerHex({'0'}) + "\r\n Aborted ... ", "I ex101"},
        {"EEPROM", false, true, true, slow(SimFaultRule::EepromBlock(400, SimFault::Slow)),
         [](MemoryUploadFlow& t) { return t.rig.instrument.CountRequests('e') == 101; }, true,
         kImage + ".epr\r\n  Upload Eeprom  ...\r\n  Addr: 0400/1999\r\n Rx: " + AnswerHex({'0'}) + "\r\n Aborted ... ", "I ex101"},
        {"flash", false, false, true, slow(SimFaultRule::FlashPage(6, SimFault::Slow)),
         [](MemoryUploadFlow& t) { return t.rig.instrument.CountRequests(0xE6) == 5; }, true,
         FlashHead(Fla(kImage, 5, 7)) + " Page 6/7\r\n Process ABORTED\r\n", "I E6x8"},
        {"retry pause", false, false, true, SimFaultRule::FlashPage(6, SimFault::Busy),
         [](MemoryUploadFlow& t) { return t.Log().ends_with("NumBlocco: 0"); }, true,
         FlashHead(Fla(kImage, 5, 7)) + " Page 6/7\r\nBusy ...\r\nTx: E6<006000><0400> +<1024>\r\nNumBlocco: 0\r\n Process ABORTED\r\n",
         "I E6x5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.story);
        NextUpload();
        Tick("chkDownEE2clearAll", c.clearAll);
        Tick("chkEE2Down", c.eeprom);
        Tick("chkFlashDown", c.flash);
        Pages("5", "7");
        rig.instrument.AddFault(c.fault);
        Names seen;
        const char* button = c.download ? "cmdDownDwData" : "cmdDownUpData";
        rig.When([&] { return c.when(*this); }, [&] {
            seen.push_back(State());
            Button(button).click();
            seen.push_back(State());
            Button(button).click();  // impatient: nothing more happens
            seen.push_back(State());
        });
        const int opens = rig.port.Opens();
        if (c.download)
            Download();
        else
            Upload(c.flash && !c.eeprom ? Fla(imageFolder.path().toStdString() + "/" + kImage, 5, 7) : epr);

        const auto running = [&c](const char* caption) { return Running(c.download, caption, c.bar); };
        EXPECT_EQ(seen, (Names{running("Stop"), running("Wait .."), running("Wait ..")}));
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(Commands(), c.commands);
        EXPECT_EQ(rig.port.Opens(), opens + 1) << "a click during a run never starts another";
        EXPECT_EQ(Titles(), c.download ? Names{} : Names{"Warning"});
        EXPECT_TRUE(SavedFiles().empty());
        ExpectIdle();
    }
    Tick("chkDownEE2clearAll", false);
}

TEST_F(MemoryUploadFlow, ClosingTheWindowDuringTheFlashStageEndsAtOnce)
{
    Start();
    Tick("chkEE2Down", false);
    Pages("5", "7");
    const std::string path = Image(Fla(kImage, 5, 7), FlashImage(3));
    rig.instrument.AddFault(SimFaultRule::FlashPage(6, SimFault::Busy));
    rig.When([&] { return rig.instrument.CountRequests(0xE6) == 6; }, [&] { rig.form->close(); });
    Upload(path);

    EXPECT_TRUE(rig.host.Quitting());
    EXPECT_EQ(rig.instrument.CountRequests(0xE6), 6u) << "nothing is sent after the close";
    EXPECT_EQ(Titles(), Names{"Warning"}) << "no retry question while closing";
    EXPECT_TRUE(Log().ends_with("\r\n Process ABORTED\r\n"));
    ExpectIdle();
}
