#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/CliLog.h"
#include "core/Dialogs.h"

// The message boxes of the serial link (a port that cannot be opened, an overrun) and the notices
// of the operations, printed as the window would show them. No question is answered here (the
// operations ask theirs through the command line's sink): a box with buttons is refused, and no
// file dialog ever returns a path.
class CliDialogs : public Dialogs {
public:
    explicit CliDialogs(CliLog& log) : log_(log) {}

    // Forgets the messages of an earlier command.
    void Reset() { messages_.clear(); }
    // The window's messages call port `number` "COM<number>"; a port given as a device path is
    // called by that path instead.
    void NamePort(int number, std::string name)
    {
        portNumber_ = number;
        portName_ = std::move(name);
    }

    MsgAnswer Message(MsgIcon icon, const std::string& title, const std::string& text, MsgButtons buttons) override;
    std::optional<std::string> OpenFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFile(const FileDialogRequest&) override { return std::nullopt; }

    // Every message shown: "[title] text".
    const std::vector<std::string>& Messages() const { return messages_; }

private:
    CliLog& log_;
    std::vector<std::string> messages_;
    int portNumber_ = 0;
    std::string portName_;
};
