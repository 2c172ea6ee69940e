#pragma once

#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "AppRig.h"
#include "core/Bytes.h"
#include "support/Files.h"

// The Down mem tab of a started window, a folder the save dialog answers with, and a record of
// what the technician saw: every text of the log and every value of the progress bar.
//
// The local clock starts at 2025-12-31 23:59:50, and Start() brings the virtual clock to 10 s, so
// a download clicked right after Start() is named after 2026-01-01 00:00:00.
struct DownloadFlow : ::testing::Test {
    static constexpr const char* kFlashConfig = "31400-flashopen\r\n";
    static constexpr std::size_t kPage = 4096;
    static constexpr double kStartS = 10.0;
    static constexpr const char* kBase = "VRTA708_00001234_fwV1.05_260101000000";
    static constexpr const char* kIdLine = "VRTA708  SN: 00001234\r\n";
    static inline const std::string kEpr = std::string(kBase) + ".epr";
    // The window after every run, whatever its end (see State()).
    static constexpr const char* kIdle = "tabs 1111 on 1, Download, buttons 111, comm 1, port 0, bar 0";
    using Names = std::vector<std::string>;

    // Declared before the rig: the window they watch goes first.
    std::vector<std::string> logs;
    std::vector<int> progress;
    AppRig rig;
    QTemporaryDir saveFolder;

    void Start(const std::string& config = kFlashConfig)
    {
        rig.host.SetLocalStart({2025, 12, 31, 23, 59, 50});
        rig.StartOn(config, kDownMemTab);
        DownMemTab& tab = *rig.form->DownMem;
        QObject::connect(tab.txtDownStatus, &QPlainTextEdit::textChanged, &tab, [this] {
            if (logs.empty() || logs.back() != Log())
                logs.push_back(Log());
        });
        QObject::connect(tab.PrgBar2, &QProgressBar::valueChanged, &tab, [this](int value) { progress.push_back(value); });
        rig.host.RunUntil(kStartS);
        logs.clear();
    }

    QPushButton& Button(const char* name) { return rig.Control<QPushButton>(name); }
    void Tick(const char* box, bool ticked) { rig.Control<QCheckBox>(box).setChecked(ticked); }
    void Pages(const std::string& from, const std::string& to)
    {
        rig.Control<QLineEdit>("txtDownDaPag").setText(QString::fromStdString(from));
        rig.Control<QLineEdit>("txtDownaPag").setText(QString::fromStdString(to));
    }
    // The page fields as "from-to".
    std::string Range() const { return rig.Text("txtDownDaPag") + "-" + rig.Text("txtDownaPag"); }

    // Another run in the same window: no saved files; nothing recorded by the instrument, the log,
    // the bar or the dialogs; no faults; the clock at the next whole second (up to a minute after
    // the start). Gives the name of the images of a download started then by `instrument`.
    std::string NextRun(const std::string& instrument = "VRTA708_00001234_fwV1.05")
    {
        for (const std::string& name : SavedFiles())
            QFile::remove(saveFolder.filePath(QString::fromStdString(name)));
        rig.instrument.ClearRecord();
        rig.instrument.ClearFaults();
        rig.dialogs.messages.clear();
        rig.dialogs.fileRequests.clear();
        rig.dialogs.filePaths.clear();
        logs.clear();
        progress.clear();
        rig.host.RunUntil(std::floor(rig.host.Now()) + 1.0);
        return instrument + "_2601010000" + ZeroPadded(std::lround(rig.host.Now() - kStartS), 2);
    }

    // The save dialog answers (by default with a file in the save folder), then Download is clicked.
    void Download(std::optional<std::string> answer)
    {
        rig.dialogs.filePaths.push_back(std::move(answer));
        Button("cmdDownDwData").click();
    }
    void Download() { Download(saveFolder.filePath("whatever.dat").toStdString()); }

    static std::string Fla(const std::string& base, int first, int last)
    {
        return base + "_" + ZeroPadded(first, 4) + "-" + ZeroPadded(last, 4) + ".fla";
    }
    std::string Log() const { return rig.form->DownMem->StatusText(); }
    // The log of a stage that saved `file` (an .epr or an .fla image); `note` follows its title.
    static std::string SavedText(const std::string& file, const std::string& note = "")
    {
        const bool eeprom = file.ends_with(".epr");
        return std::string(eeprom ? "Download Eeprom  ..." : "Download  FLASH 8M ...") + note + "  OK\r\n " +
               ToUpperAscii(file) + (eeprom ? "\r\n\r\n" : "");
    }
    // Of each log text shown, its last line when that starts with `prefix`, joined by ", " after
    // `prefix` is cut off: "3/6, 4/6, 4/6  (retry:1)".
    std::string Trail(const std::string& prefix = "  Page N°: ") const
    {
        std::string trail;
        for (const std::string& log : logs)
            if (const auto at = log.rfind("\r\n"); at != std::string::npos && log.compare(at + 2, prefix.size(), prefix) == 0)
                trail += (trail.empty() ? "" : ", ") + log.substr(at + 2 + prefix.size());
        return trail;
    }
    int LastProgress() const { return progress.empty() ? -1 : progress.back(); }
    // Titles of the message boxes shown, in order.
    Names Titles() const
    {
        Names titles;
        for (const auto& message : rig.dialogs.messages)
            titles.push_back(message.title);
        return titles;
    }

    std::vector<std::string> SavedFiles() const { return FileNamesIn(saveFolder.path().toStdString()); }
    Bytes FileBytes(const std::string& name) const { return ReadFileBytes(saveFolder.filePath(QString::fromStdString(name)).toStdString()); }
    Bytes FlashPages(int first, int last) const
    {
        return rig.instrument.ReadFlash(static_cast<std::uint32_t>(first) * kPage,
                                        static_cast<std::size_t>(last - first + 1) * kPage);
    }

    // Targets of the requests of one command the instrument received, in order.
    std::vector<std::uint32_t> Reads(std::uint8_t command) const
    {
        std::vector<std::uint32_t> targets;
        for (const Bytes& request : rig.instrument.Requests())
            if (request[0] == command)
                targets.push_back(*SimInstrument::RequestTarget(request));
        return targets;
    }
    // The flash block reads (or, with 0xE6, writes) page by page, "3:0123 4:0 4:0123": page 4
    // was asked again from its first block after that failed.
    std::string PageReads(std::uint8_t command = 0xE5) const
    {
        std::string text;
        std::uint32_t previous = 0;
        for (const std::uint32_t address : Reads(command)) {
            if (text.empty() || address % 1024 != 0 || address != previous + 1024 || address % kPage == 0)
                text += (text.empty() ? "" : " ") + std::to_string(address / kPage) + ":";
            text += address % 1024 == 0 ? std::to_string(address % kPage / 1024) : "?";
            previous = address;
        }
        return text;
    }
    // Command bytes of every request in order, runs counted: "I l ex20 E5x12".
    std::string Commands() const
    {
        std::string text;
        const auto& requests = rig.instrument.Requests();
        for (std::size_t i = 0, run = 1; i < requests.size(); i += run) {
            const std::uint8_t command = requests[i][0];
            for (run = 1; i + run < requests.size() && requests[i + run][0] == command;)
                ++run;
            text += (text.empty() ? "" : " ") +
                    (command >= 0x20 && command < 0x7F ? std::string(1, static_cast<char>(command)) : BytesToHex(&command, 1)) +
                    (run > 1 ? 'x' + std::to_string(run) : "");
        }
        return text;
    }

    // What the window offers, in one line: the tabs enabled one by one, the tab control itself and
    // the current tab; the Download caption; Info, Upload and Download enabled; the "COMM" menu;
    // the port; the progress bar shown; the Upload caption.
    std::string State()
    {
        const auto bit = [](bool on) { return on ? '1' : '0'; };
        QTabWidget& tabs = *rig.form->SSTab1;
        std::string text = "tabs ";
        for (int tab = 0; tab < tabs.count(); ++tab)
            text += bit(tabs.isTabEnabled(tab));
        return text + (tabs.isEnabled() ? " on " : " off ") + std::to_string(tabs.currentIndex()) + ", " +
               Button("cmdDownDwData").text().toStdString() + ", buttons " + bit(Button("cmdDownInfo").isEnabled()) +
               bit(Button("cmdDownUpData").isEnabled()) + bit(Button("cmdDownDwData").isEnabled()) + ", comm " +
               bit(rig.form->mnuSeriale->menuAction()->isEnabled()) + ", port " + bit(rig.port.IsOpen()) + ", bar " +
               bit(!rig.form->DownMem->PrgBar2->isHidden()) + " / " + Button("cmdDownUpData").text().toStdString();
    }
    // While a run goes on: only its own tab. A download leaves only Download (its Stop) on and the
    // menu off; an upload leaves Upload (its Stop) and the menu on.
    static std::string Running(bool download, const char* caption, bool bar)
    {
        return std::string("tabs 0100 on 1, ") + (download ? caption : "Download") + (download ? ", buttons 001, comm 0" : ", buttons 010, comm 1") +
               ", port 1, bar " + (bar ? "1" : "0") + " / " + (download ? "Upload" : caption);
    }
    void ExpectIdle() { EXPECT_EQ(State(), std::string(kIdle) + " / Upload"); }
};

// The Upload of the same tab: image files made in their own folder, the questions answered from a
// script, and what the instrument wrote where.
struct MemoryUploadFlow : DownloadFlow {
    static constexpr const char* kConfig = "31400-flashopen\r\n31400-EeWipeFull\r\n";
    static inline const std::string kWarning = "This operation WRITE \r\n  - ALL parameters \r\n  - DATA (flash)\r\n"
                                               "inside the device\r\n\r\nContinue ?";

    QTemporaryDir imageFolder;

    void Start() { DownloadFlow::Start(kConfig); }

    // Bytes unlike anything the simulated instrument holds.
    static Bytes Pattern(std::size_t size, std::uint32_t seed)
    {
        Bytes bytes(size);
        std::uint32_t x = seed * 2654435761u + 1;
        for (auto& byte : bytes) {
            x = x * 1103515245u + 12345u;
            byte = static_cast<std::uint8_t>(x >> 16);
        }
        return bytes;
    }
    static Bytes FlashImage(int pages, std::uint32_t seed = 7) { return Pattern(static_cast<std::size_t>(pages) * kPage, seed); }

    // Writes a file into the image folder; its path.
    std::string Image(const std::string& name, const Bytes& bytes)
    {
        return WriteFileBytes(imageFolder.filePath(QString::fromStdString(name)).toStdString(), bytes);
    }

    // A fresh instrument and nothing recorded; the image files stay.
    void NextUpload()
    {
        NextRun();
        rig.instrument = SimInstrument();
        rig.dialogs.answers.clear();
    }

    // The questions are answered in order (the confirmation first; unanswered ones get Yes), the
    // open dialog answers `path` (nothing: cancelled), then Upload is clicked.
    void Upload(std::optional<std::string> path, std::vector<MsgAnswer> answers = {})
    {
        rig.dialogs.answers.assign(answers.begin(), answers.end());
        rig.dialogs.filePaths.push_back(std::move(path));
        Button("cmdDownUpData").click();
    }

    // Pages the instrument carried out a write into: "5 6 7".
    std::string PagesWritten() const
    {
        std::string text;
        for (int page = 0; page <= 2047; ++page)
            if (rig.instrument.FlashPageWritten(page))
                text += (text.empty() ? "" : " ") + std::to_string(page);
        return text;
    }
    std::size_t EepromWrites() const
    {
        std::size_t n = 0;
        for (const auto& write : rig.instrument.MemoryWrites())
            n += write.memory == SimMemoryWrite::Memory::Eeprom ? 1 : 0;
        return n;
    }

    static std::string EepromDone(const std::string& name) { return name + "\r\n  Upload Eeprom  ...  OK\r\n\r\n"; }
    static std::string FlashHead(const std::string& name) { return name + "\r\n  Upload FLASH  ...\r\n"; }
    static std::string FlashDone(const std::string& name, const std::string& range)
    {
        return FlashHead(name) + " Pages " + range + "  OK\r\n\r\n";
    }
};
