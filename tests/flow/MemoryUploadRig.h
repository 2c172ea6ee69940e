#pragma once

#include <QTemporaryDir>

#include <optional>
#include <string>
#include <vector>

#include "DownloadRig.h"

// The Upload of the Down mem tab: image files made in their own folder, the questions answered
// from a script, and what the instrument wrote where.
struct MemoryUploadFlow : DownloadFlow {
    static constexpr const char* kConfig = "31400-flashopen\r\n31400-EeWipeFull\r\n";
    // The window after every upload, whatever its end: State() and the Upload caption.
    static constexpr const char* kUploadIdle = "tabs 1111 on 1, Download, buttons 111, comm 1, port 0, bar 0 / Upload";
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

    std::string UploadState() { return State() + " / " + Button("cmdDownUpData").text().toStdString(); }
    // While an upload runs: only its own tab; Info and Download off, Upload (Stop) and the menu on.
    static std::string UploadRunning(const char* caption, bool bar)
    {
        return std::string("tabs 0100 on 1, Download, buttons 010, comm 1, port 1, bar ") + (bar ? "1" : "0") + " / " +
               caption;
    }
    void ExpectUploadIdle() { EXPECT_EQ(UploadState(), kUploadIdle); }

    // Titles of the message boxes shown, in order.
    std::vector<std::string> Titles() const
    {
        std::vector<std::string> titles;
        for (const auto& message : rig.dialogs.messages)
            titles.push_back(message.title);
        return titles;
    }
    std::string PageWrites() const { return PageReads(0xE6); }
    // Pages the instrument carried out a write into, "5-27" for a run, "" for none.
    std::string PagesWritten() const
    {
        std::string text;
        int first = -1;
        int last = -1;
        const auto flush = [&] {
            if (first >= 0)
                text += (text.empty() ? "" : " ") + std::to_string(first) + (last > first ? "-" + std::to_string(last) : "");
        };
        for (int page = 0; page < 2048; ++page) {
            if (!rig.instrument.FlashPageWritten(page))
                continue;
            if (page != last + 1 || first < 0) {
                flush();
                first = page;
            }
            last = page;
        }
        flush();
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
