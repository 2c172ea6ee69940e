#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/CliLog.h"
#include "core/Dialogs.h"

// The window's message boxes and file dialogs, answered from the command line. Every message is
// printed; a question asked here is refused (No, or Cancel when offered): the operations ask theirs
// through the command line's sink, which answers them from the options.
class CliDialogs : public Dialogs {
public:
    explicit CliDialogs(CliLog& log) : log_(log) {}

    // Forgets the paths and messages of an earlier command.
    void Reset()
    {
        openPath_.reset();
        savePath_.reset();
        messages_.clear();
    }
    // The path the next open / save dialog returns (nothing: cancelled). A folder given to the save
    // dialog takes the name the dialog proposes.
    void OpenWith(std::optional<std::string> path) { openPath_ = std::move(path); }
    void SaveWith(std::optional<std::string> path) { savePath_ = std::move(path); }
    // The window's messages call port `number` "COM<number>"; a port given as a device path is
    // called by that path instead.
    void NamePort(int number, std::string name)
    {
        portNumber_ = number;
        portName_ = std::move(name);
    }

    MsgAnswer Message(MsgIcon icon, const std::string& title, const std::string& text, MsgButtons buttons) override;
    std::optional<std::string> OpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> SaveFile(const FileDialogRequest& request) override;

    // Every message shown: "[title] text".
    const std::vector<std::string>& Messages() const { return messages_; }

private:
    CliLog& log_;
    std::optional<std::string> openPath_;
    std::optional<std::string> savePath_;
    std::vector<std::string> messages_;
    int portNumber_ = 0;
    std::string portName_;
};
