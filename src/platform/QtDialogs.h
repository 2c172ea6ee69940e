#pragma once

#include <QString>

#include "core/Dialogs.h"
#include "core/Platform.h"

class QFileDialog;
class QWidget;

// Message boxes and file dialogs on Qt widgets.
class QtDialogs : public Dialogs {
public:
    void SetParent(QWidget* parent) { parent_ = parent; }

    MsgAnswer Message(MsgIcon icon, const std::string& title, const std::string& text, MsgButtons buttons) override;
    std::optional<std::string> OpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> SaveFile(const FileDialogRequest& request) override;

    // "Desc|pattern|Desc2|pattern2" -> "Desc (pattern);;Desc2 (pattern2)"; on Linux each letter of
    // a pattern matches either case ("*.[eE][pP][rR]"), as on Windows.
    static QString QtFilter(const std::string& filter, OsFamily os = kThisOs);
    // The dialog as a request asks for it: its title, the folder or file it starts at, its
    // filters with the first one chosen.
    static void SetUp(QFileDialog& dialog, const FileDialogRequest& request, OsFamily os = kThisOs);

private:
    // The path accepted; nothing when the dialog was cancelled.
    static std::optional<std::string> Chosen(QFileDialog& dialog);

    QWidget* parent_ = nullptr;
};
