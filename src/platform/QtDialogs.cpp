#include "platform/QtDialogs.h"

#include <QFileDialog>
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

QString QtDialogs::QtFilter(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed().replace(';', ' ');
        // Qt takes the patterns from the last parentheses.
        filters << description + " (" + pattern + ")";
    }
    return filters.join(";;");
}

std::optional<std::string> QtDialogs::OpenFile(const FileDialogRequest& request)
{
    const QString path = QFileDialog::getOpenFileName(parent_, QString::fromStdString(request.title),
                                                      StartPath(request), QtFilter(request.filter));
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> QtDialogs::SaveFile(const FileDialogRequest& request)
{
    QFileDialog::Options options;
    if (!request.confirmOverwrite)
        options |= QFileDialog::DontConfirmOverwrite;
    const QString path = QFileDialog::getSaveFileName(parent_, QString::fromStdString(request.title),
                                                      StartPath(request), QtFilter(request.filter), nullptr, options);
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}
