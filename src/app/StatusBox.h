#pragma once

#include <QPlainTextEdit>
#include <string>

// Read-only, fixed-pitch log box of a tab. The program writes its texts with CR LF between lines;
// Text() returns exactly what was written, the screen shows one line break per CR LF.
class StatusBox : public QPlainTextEdit {
    Q_OBJECT
public:
    enum class Caret { Keep, FollowEnd };

    explicit StatusBox(Caret caret, QWidget* parent = nullptr);

    void SetText(const std::string& text);
    void Append(const std::string& text);
    void Clear() { SetText({}); }
    const std::string& Text() const { return text_; }

private:
    void AfterChange();

    std::string text_;
    QString shown_;  // what the document holds
    Caret caret_;
};
