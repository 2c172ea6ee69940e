#pragma once

#include <QCoreApplication>
#include <QLabel>
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
#include "support/Files.h"

// The Upload tab of a started window on the simulated boards, a folder for images and packages,
// and a record of whether the controls were off while the run went on.
struct UploadFlow : ::testing::Test {
    // The window after every run, whatever its end.
    static constexpr const char* kIdle = "tab control 1, comm 1, start 1, port 0, bar 0, percent 0";
    static constexpr const char* kRunning = "tab control 0, comm 0, start 0";

    std::vector<std::string> runningStates;

    AppRig rig;
    QTemporaryDir images;

    void SetUp() override
    {
        rig.StartOn("", kUploadTab);
        // Every wait of a run pumps the window's events: note how the controls stand meanwhile.
        rig.host.SetOnYield([this] {
            QCoreApplication::processEvents();
            const std::string controls = Controls();
            if (runningStates.empty() || runningStates.back() != controls)
                runningStates.push_back(controls);
        });
    }

    std::string Path(const std::string& name) const { return images.filePath(QString::fromStdString(name)).toStdString(); }
    std::string WriteFile(const std::string& name, const Bytes& bytes) const { return WriteFileBytes(Path(name), bytes); }
    std::string WriteText(const std::string& name, const std::string& text) const { return WriteFileText(Path(name), text); }
    static Bytes Image(std::size_t size, unsigned seed)
    {
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>((i * 37 + seed * 11 + (i >> 8)) & 0xFF);
        return bytes;
    }
    // The image as the flash holds it: padded with zeros to whole pages.
    static Bytes Padded(Bytes image)
    {
        image.resize((image.size() + 255) / 256 * 256, 0x00);
        return image;
    }

    QPushButton& Button(const char* name) { return rig.Control<QPushButton>(name); }
    void Target(const std::string& target) { rig.Choose("cmbUploadTipoStrum", target); }
    // The file dialog answers with `path` (nothing: cancelled).
    void Browse(std::optional<std::string> path)
    {
        rig.dialogs.filePaths.push_back(std::move(path));
        Button("CmdBrowse").click();
    }
    void Start()
    {
        runningStates.clear();
        Button("CmdStartProg").click();
    }
    std::string Log() const { return rig.form->Upload->StatusText(); }

    std::string Controls() const
    {
        const auto bit = [](bool on) { return on ? '1' : '0'; };
        return std::string("tab control ") + bit(rig.form->SSTab1->isEnabled()) + ", comm " +
               bit(rig.form->mnuSeriale->menuAction()->isEnabled()) + ", start " +
               bit(rig.form->Upload->CmdStartProg->isEnabled());
    }
    std::string State() const
    {
        const auto bit = [](bool on) { return on ? '1' : '0'; };
        return Controls() + ", port " + bit(rig.port.IsOpen()) + ", bar " + bit(!rig.form->Upload->PrgBar1->isHidden()) +
               ", percent " + bit(!rig.form->Upload->lblPercUpload->isHidden());
    }
    // The controls were off during the run and came back at its end.
    void ExpectControlsOffWhileRunningThenBack()
    {
        EXPECT_FALSE(runningStates.empty());
        for (const auto& state : runningStates)
            EXPECT_EQ(state, kRunning);
        EXPECT_EQ(State(), kIdle);
    }


    std::size_t Requests(std::uint8_t command) const { return rig.instrument.CountRequests(command); }
};
