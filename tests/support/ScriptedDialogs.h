#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Dialogs.h"

// Dialogs that answer from a script and remember what they were asked.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        MsgIcon icon;
        std::string title;
        std::string text;
    };

    MsgAnswer Message(MsgIcon icon, const std::string& title, const std::string& text,
                      MsgButtons buttons = MsgButtons::Ok) override;
    std::optional<std::string> OpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> SaveFile(const FileDialogRequest& request) override;

    std::vector<Shown> messages;
    std::vector<FileDialogRequest> fileRequests;
    std::deque<MsgAnswer> answers;                     // default: Ok / Yes
    std::deque<std::optional<std::string>> filePaths;  // default: cancelled
    std::function<void()> onMessage;                   // runs while a message box is up
};
