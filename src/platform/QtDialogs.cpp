#include "platform/QtDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace {

QMessageBox::Icon IconOf(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::Ok: break;
    }
    return QMessageBox::Ok;
}

QString Displayed(const std::string& text)
{
    return QString::fromStdString(text).replace("\r\n", "\n");
}

QString StartPath(const FileDialogRequest& request)
{
    QString suggested = QString::fromStdString(request.suggestedName).replace('\\', '/');
    if (suggested.isEmpty())
        return QString::fromStdString(request.folder);
    if (!suggested.contains('/') && !request.folder.empty())
        return QString::fromStdString(request.folder) + "/" + suggested;
    return suggested;
}

// "*.epr" -> "*.[eE][pP][rR]": the letters match either case, as Windows' dialogs match them, in
// the dialogs of a desktop that would take the pattern's case as it stands.
QString EitherCase(const QString& pattern)
{
    QString either;
    for (const QChar c : pattern) {
        if (c.toLower() != c.toUpper())
            either += QString("[%1%2]").arg(c.toLower(), c.toUpper());
        else
            either += c;
    }
    return either;
}

}  // namespace

MsgAnswer QtDialogs::Message(MsgIcon icon, const std::string& title, const std::string& text, MsgButtons buttons)
{
    QMessageBox box(IconOf(icon), QString::fromStdString(title), Displayed(text), ButtonsOf(buttons), parent_);
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    default: return MsgAnswer::Ok;
    }
}

QString QtDialogs::QtFilter(const std::string& filter, OsFamily os)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString pattern = parts[i + 1].trimmed().replace(';', ' ');
        if (os == OsFamily::Unix)
            pattern = EitherCase(pattern);
        // Qt takes the patterns from the last parentheses.
        filters << description + " (" + pattern + ")";
    }
    return filters.join(";;");
}

void QtDialogs::SetUp(QFileDialog& dialog, const FileDialogRequest& request, OsFamily os)
{
    dialog.setWindowTitle(QString::fromStdString(request.title));
    // The descriptions name the patterns already ("File EE2 (*.epr)").
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QString filters = QtFilter(request.filter, os);
    dialog.setNameFilter(filters);
    dialog.selectNameFilter(filters.section(";;", 0, 0));
    const QString start = StartPath(request);
    if (start.isEmpty())
        return;
    const QFileInfo startInfo(start);
    if (startInfo.isDir()) {
        dialog.setDirectory(start);
    } else {
        dialog.setDirectory(startInfo.absolutePath());
        dialog.selectFile(startInfo.fileName());
    }
}

std::optional<std::string> QtDialogs::Chosen(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().front();
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> QtDialogs::OpenFile(const FileDialogRequest& request)
{
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    SetUp(dialog, request);
    return Chosen(dialog);
}

std::optional<std::string> QtDialogs::SaveFile(const FileDialogRequest& request)
{
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    SetUp(dialog, request);
    return Chosen(dialog);
}
