#include "app/StatusBox.h"

#include <QFontDatabase>
#include <QTextCursor>
#include <algorithm>

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

qsizetype CommonPrefixLength(const QString& a, const QString& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    // A surrogate pair is never split.
    if (i > 0 && i < n && a[i - 1].isHighSurrogate())
        --i;
    return i;
}

}  // namespace

StatusBox::StatusBox(Caret caret, QWidget* parent) : QPlainTextEdit(parent), caret_(caret)
{
    setReadOnly(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
}

// Only what changed is laid out again: the text after the part both texts share is replaced, so a
// log that grows or whose last line is a counter costs little to show however long it is.
void StatusBox::SetText(const std::string& text)
{
    const QString shown = ForDisplay(text);
    const qsizetype kept = CommonPrefixLength(shown_, shown);
    text_ = text;
    shown_ = shown;
    if (kept == 0) {
        setPlainText(shown);
    } else {
        QTextCursor cursor(document());
        cursor.setPosition(static_cast<int>(kept));
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.insertText(shown.mid(kept));
    }
    AfterChange();
}

void StatusBox::Append(const std::string& text)
{
    text_ += text;
    shown_ += ForDisplay(text);
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
