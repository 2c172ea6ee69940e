#pragma once

#include <QString>

#include "core/Dialogs.h"

class QWidget;

// Message boxes and file dialogs on Qt widgets.
class QtDialogs : public Dialogs {
public:
    void SetParent(QWidget* parent) { parent_ = parent; }

    MsgAnswer Message(MsgIcon icon, const std::string& title, const std::string& text, MsgButtons buttons) override;
    std::optional<std::string> OpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> SaveFile(const FileDialogRequest& request) override;

    // "Desc|pattern|Desc2|pattern2" -> "Desc (pattern);;Desc2 (pattern2)".
    static QString QtFilter(const std::string& filter);

private:
    QWidget* parent_ = nullptr;
};
