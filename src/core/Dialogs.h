#pragma once

#include <optional>
#include <string>

enum class MsgIcon { None, Information, Exclamation, Critical, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct FileDialogRequest {
    std::string title;
    std::string folder;         // first folder shown
    std::string filter;         // "Description|pattern" pairs joined by "|"
    std::string suggestedName;  // may carry a folder
    bool confirmOverwrite = false;
};

// Message boxes and file dialogs. The application shows real ones; tests script the answers.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgAnswer Message(MsgIcon icon, const std::string& title, const std::string& text,
                              MsgButtons buttons = MsgButtons::Ok) = 0;
    // The chosen path, or nothing when cancelled.
    virtual std::optional<std::string> OpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> SaveFile(const FileDialogRequest& request) = 0;
};
