#include "app/StatusBox.h"

#include <QFontDatabase>
#include <QTextCursor>

#include "app/QtText.h"

namespace {

// Every CR is dropped for display: CR LF becomes one break, and a CR LF split over two appends
// shows the same as one written at once.
QString ForDisplay(const std::string& text)
{
    QString shown = ToQ(text);
    shown.remove(QLatin1Char('\r'));
    return shown;
}

}  // namespace

StatusBox::StatusBox(Caret caret, QWidget* parent) : QPlainTextEdit(parent), caret_(caret)
{
    setReadOnly(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
}

void StatusBox::SetText(const std::string& text)
{
    text_ = text;
    setPlainText(ForDisplay(text));
    AfterChange();
}

void StatusBox::Append(const std::string& text)
{
    text_ += text;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(ForDisplay(text));
    AfterChange();
}

void StatusBox::AfterChange()
{
    if (caret_ != Caret::FollowEnd)
        return;
    moveCursor(QTextCursor::End);
    ensureCursorVisible();
}
