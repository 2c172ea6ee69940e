#pragma once

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AppRig.h"
#include "core/Bytes.h"

// The Down mem tab of a started window, a folder the save dialog answers with, and a record of
// what the technician saw: every text of the log and every value of the progress bar.
//
// The local clock starts at 2025-12-31 23:59:50, and Start() brings the virtual clock to 10 s, so
// a download clicked right after Start() is named after 2026-01-01 00:00:00.
struct DownloadFlow : ::testing::Test {
    static constexpr const char* kFlashConfig = "31400-flashopen\r\n";
    static constexpr std::size_t kPage = 4096;
    static constexpr double kStartS = 10.0;
    // Name of the images of a download started at kStartS.
    static constexpr const char* kBase = "VRTA708_00001234_fwV1.05_260101000000";
    static constexpr const char* kIdLine = "VRTA708  SN: 00001234\r\n";

    // Declared before the rig: the window they watch goes first.
    std::vector<std::string> logs;
    std::vector<int> progress;
    std::vector<std::unique_ptr<std::function<void()>>> polls;

    AppRig rig;
    QTemporaryDir saveFolder;

    void Start(const std::string& config = kFlashConfig)
    {
        rig.host.SetLocalStart({2025, 12, 31, 23, 59, 50});
        rig.WriteConfig(config);
        ASSERT_TRUE(rig.Start());
        rig.form->SSTab1->setCurrentIndex(kDownMemTab);
        DownMemTab& tab = *rig.form->DownMem;
        QObject::connect(tab.txtDownStatus, &QPlainTextEdit::textChanged, &tab,
                         [this] {
                             if (logs.empty() || logs.back() != Log())
                                 logs.push_back(Log());
                         });
        QObject::connect(tab.PrgBar2, &QProgressBar::valueChanged, &tab, [this](int value) { progress.push_back(value); });
        rig.host.RunUntil(kStartS);
        logs.clear();
    }

    QPushButton& Button(const char* name) { return rig.Control<QPushButton>(name); }
    QCheckBox& Box(const char* name) { return rig.Control<QCheckBox>(name); }
    void Tick(const char* box, bool ticked) { Box(box).setChecked(ticked); }
    void Pages(const char* from, const char* to)
    {
        rig.Control<QLineEdit>("txtDownDaPag").setText(from);
        rig.Control<QLineEdit>("txtDownaPag").setText(to);
    }
    std::string FromText() { return rig.Control<QLineEdit>("txtDownDaPag").text().toStdString(); }
    std::string ToText() { return rig.Control<QLineEdit>("txtDownaPag").text().toStdString(); }

    std::string ChosenPath() const { return saveFolder.filePath("whatever.dat").toStdString(); }
    // The save dialog answers with a file in the save folder, then Download is clicked.
    void Download()
    {
        rig.dialogs.filePaths.push_back(ChosenPath());
        Button("cmdDownDwData").click();
    }

    std::string Log() const { return rig.form->DownMem->StatusText(); }
    // The page lines the log showed, in order ("  Page N°: 4/6  (retry:1)").
    std::vector<std::string> PageLines() const
    {
        std::vector<std::string> lines;
        for (const std::string& log : logs) {
            const auto at = log.rfind("\r\n  Page N°: ");
            if (at != std::string::npos && log.find("\r\n", at + 2) == std::string::npos)
                lines.push_back(log.substr(at + 2));
        }
        return lines;
    }

    std::string LastPageLine() const
    {
        const auto lines = PageLines();
        return lines.empty() ? "<no page line>" : lines.back();
    }
    int LastProgress() const { return progress.empty() ? -1 : progress.back(); }

    std::vector<std::string> SavedFiles() const
    {
        std::vector<std::string> names;
        for (const QString& name : QDir(saveFolder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name))
            names.push_back(name.toStdString());
        return names;
    }
    Bytes FileBytes(const std::string& name) const
    {
        QFile file(saveFolder.filePath(QString::fromStdString(name)));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray data = file.readAll();
        return Bytes(data.begin(), data.end());
    }

    // What the instrument holds.
    static Bytes EepromPattern()
    {
        Bytes bytes;
        for (int address = 0; address < 2000; ++address)
            bytes.push_back(SimInstrument::EepromPattern(address));
        return bytes;
    }
    Bytes FlashPages(int first, int last) const
    {
        return rig.instrument.ReadFlash(static_cast<std::uint32_t>(first) * kPage,
                                        static_cast<std::size_t>(last - first + 1) * kPage);
    }

    // Flash addresses of the block reads the instrument received, in order.
    std::vector<std::uint32_t> FlashReads() const
    {
        std::vector<std::uint32_t> addresses;
        for (const Bytes& request : rig.instrument.Requests())
            if (request[0] == 0xE5)
                addresses.push_back(*SimInstrument::RequestTarget(request));
        return addresses;
    }
    // Command bytes of every request in order, runs counted: "I l ex20 E5x12".
    std::string Commands() const
    {
        std::string text;
        const auto& requests = rig.instrument.Requests();
        for (std::size_t i = 0; i < requests.size();) {
            const std::uint8_t command = requests[i][0];
            std::size_t run = 1;
            while (i + run < requests.size() && requests[i + run][0] == command)
                ++run;
            if (!text.empty())
                text += ' ';
            text += command >= 0x20 && command < 0x7F ? std::string(1, static_cast<char>(command))
                                                      : BytesToHex(&command, 1);
            if (run > 1)
                text += 'x' + std::to_string(run);
            i += run;
        }
        return text;
    }

    // Runs `action` once, at the first millisecond of virtual time at which `condition` holds.
    void When(std::function<bool()> condition, std::function<void()> action)
    {
        polls.push_back(std::make_unique<std::function<void()>>());
        std::function<void()>* poll = polls.back().get();
        *poll = [this, poll, condition = std::move(condition), action = std::move(action)] {
            if (condition())
                action();
            else
                rig.host.CallAfter(0.001, [poll] { (*poll)(); });
        };
        rig.host.CallAfter(0.001, [poll] { (*poll)(); });
    }

    // What the window offers while a run goes on or after it.
    struct Controls {
        std::vector<bool> tabsEnabled;
        std::string caption;
        bool infoEnabled = false;
        bool uploadEnabled = false;
        bool downloadEnabled = false;
        bool commMenuEnabled = false;
        bool portOpen = false;
    };
    Controls Snapshot()
    {
        Controls c;
        for (int tab = 0; tab < rig.form->SSTab1->count(); ++tab)
            c.tabsEnabled.push_back(rig.form->SSTab1->isTabEnabled(tab));
        c.caption = Button("cmdDownDwData").text().toStdString();
        c.infoEnabled = Button("cmdDownInfo").isEnabled();
        c.uploadEnabled = Button("cmdDownUpData").isEnabled();
        c.downloadEnabled = Button("cmdDownDwData").isEnabled();
        c.commMenuEnabled = rig.form->mnuSeriale->menuAction()->isEnabled();
        c.portOpen = rig.port.IsOpen();
        return c;
    }
    void ExpectLockedWhileRunning(const Controls& c, const char* caption = "Stop")
    {
        EXPECT_EQ(c.tabsEnabled, (std::vector<bool>{false, true, false, false}));
        EXPECT_EQ(c.caption, caption);
        EXPECT_FALSE(c.infoEnabled);
        EXPECT_FALSE(c.uploadEnabled);
        EXPECT_TRUE(c.downloadEnabled) << "the Stop function needs the button";
        EXPECT_FALSE(c.commMenuEnabled);
        EXPECT_TRUE(c.portOpen);
    }
    // After every run, whatever its end.
    void ExpectIdle()
    {
        const Controls c = Snapshot();
        EXPECT_EQ(c.tabsEnabled, (std::vector<bool>{true, true, true, true}));
        EXPECT_EQ(c.caption, "Download");
        EXPECT_TRUE(c.infoEnabled);
        EXPECT_TRUE(c.uploadEnabled);
        EXPECT_TRUE(c.downloadEnabled);
        EXPECT_TRUE(c.commMenuEnabled);
        EXPECT_FALSE(c.portOpen);
        EXPECT_TRUE(rig.form->DownMem->PrgBar2->isHidden());
    }
};

inline std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}
