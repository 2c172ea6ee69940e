#pragma once

#include <optional>
#include <string>
#include <variant>

#include "core/Dialogs.h"

// The questions an operation asks on its way, as values: the window shows each as its message box
// or file dialog, servicetool-cli answers it from the command line's options.
namespace question {

// The memory upload writes into the instrument: go on?
struct ConfirmWrite {};

// The flash image's pages are not the page fields' pages: write them at the image's own pages
// (Yes), at the fields' pages (No), or not at all (Cancel).
struct PageNumbers {
    int imageFirst = 0;  // as the image's name gives them
    int imageLast = 0;
    int fieldFirst = 0;  // as the page fields give them
    int fieldLast = 0;
};

// A flash page failed more often than allowed in a row: try again (Yes) or stop (No).
struct Retry {
    int page = 0;
};

// The folder a download saves its images in.
struct DownloadFolder {
    std::string folder;         // shown first
    std::string suggestedName;  // the images' base name
};

// The image a memory upload writes.
struct UploadImage {
    std::string folder;  // shown first
    bool eeprom = false; // an EEPROM image (.epr) may be chosen
    bool flash = false;  // a flash image (.fla) may be chosen
};

// The register file read-all saves into, and the one write-all loads.
struct SaveRegisterFile {
    std::string folder;
    std::string suggestedName;
};
struct LoadRegisterFile {
    std::string folder;
};

}  // namespace question

using Question = std::variant<question::ConfirmWrite, question::PageNumbers, question::Retry,
                              question::DownloadFolder, question::UploadImage, question::SaveRegisterFile,
                              question::LoadRegisterFile>;

struct Answer {
    enum class Reply { Yes, No, Cancel };
    Reply reply = Reply::Cancel;
    std::string path;  // the file or folder chosen, for the file questions

    static Answer Yes() { return {Reply::Yes, {}}; }
    static Answer No() { return {Reply::No, {}}; }
    static Answer Cancel() { return {Reply::Cancel, {}}; }
    static Answer Path(std::string chosen) { return {Reply::Yes, std::move(chosen)}; }

    bool yes() const { return reply == Reply::Yes; }
};

// A file question as the window's file dialog asks it (a save dialog or an open dialog); nothing
// for the questions that are message boxes.
struct FileDialogText {
    FileDialogRequest request;
    bool save = false;
};
std::optional<FileDialogText> FileDialogOf(const Question& question);

// A yes/no question as the window's message box asks it; nothing for the file questions.
struct MessageBoxText {
    MsgIcon icon = MsgIcon::None;
    std::string title;
    std::string text;
    MsgButtons buttons = MsgButtons::YesNo;
};
std::optional<MessageBoxText> MessageBoxOf(const Question& question);

// A message box that only informs (a port that cannot be opened, a calibration date set).
struct Notice {
    MsgIcon icon = MsgIcon::Information;
    std::string title;
    std::string text;
};
