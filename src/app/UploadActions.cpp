#include "app/UploadActions.h"

#include "app/Form1.h"
#include "app/QtText.h"
#include "core/Paths.h"

namespace {
constexpr int kCaptionChars = 40;
}

UploadActions::UploadActions(Form1& form) : form_(form)
{
    UploadTab& tab = *form_.Upload;
    QObject::connect(tab.CmdBrowse, &QPushButton::clicked, &tab, [this] { CmdBrowse_Click(); });
    QObject::connect(tab.CmdStartProg, &QPushButton::clicked, &tab, [this] { CmdStartProg_Click(); });
}

std::string UploadActions::FileCaption(const std::string& path)
{
    const QString text = ToQ(path);
    if (text.size() <= kCaptionChars)
        return path;
    return "..." + FromQ(text.right(kCaptionChars));
}

void UploadActions::CmdBrowse_Click()
{
    UploadTab& tab = *form_.Upload;
    tab.SetStatusText("");
    FileDialogRequest request;
    request.folder = form_.Services().appFolder;
    request.filter = tab.FileFilter();
    request.suggestedName = tab.DialogFileName();
    const auto chosen = form_.Services().dialogs.OpenFile(request);
    if (!chosen)
        return;
    const std::string& path = *chosen;
    choice_.ChosenTitle = FileNameOfPath(path);
    choice_.FirmwareFile = path;
    choice_.ChosenFile = path;
    const auto separator = path.find_last_of("\\/");
    choice_.ChosenFolder = separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
    tab.lblNomeFile->setText(ToQ(FileCaption(path)));
    tab.SetDialogFileName(path);
    if (!choice_.ChosenTitle.empty())
        tab.CmdStartProg->setEnabled(true);
}

void UploadActions::CmdStartProg_Click()
{
    FirmwareUpload upload(form_.Services().link, *this, choice_, image_);
    upload.RunForTarget(form_.Upload->SelectedTarget());
    form_.ShowBaudInStatus();
}

std::string UploadActions::Text() const
{
    return form_.Upload->StatusText();
}

void UploadActions::SetText(const std::string& text)
{
    form_.Upload->SetStatusText(text);
}

void UploadActions::RepaintLog()
{
    form_.Upload->txtProgStatus->repaint();
}

void UploadActions::SetBarRange(int minimum, int maximum)
{
    form_.Upload->PrgBar1->setRange(minimum, maximum);
}

void UploadActions::SetBarValue(int value)
{
    form_.Upload->PrgBar1->setValue(value);
}

void UploadActions::SetBarVisible(bool visible)
{
    form_.Upload->PrgBar1->setVisible(visible);
}

void UploadActions::SetPercentText(const std::string& text)
{
    form_.Upload->lblPercUpload->setText(ToQ(text));
}

void UploadActions::SetPercentVisible(bool visible)
{
    form_.Upload->lblPercUpload->setVisible(visible);
}

void UploadActions::SetControlsEnabled(bool enabled)
{
    form_.SSTab1->setEnabled(enabled);
    form_.mnuSeriale->menuAction()->setEnabled(enabled);
    form_.Upload->CmdStartProg->setEnabled(enabled);
}

bool UploadActions::Speed57600Chosen() const
{
    return form_.mnu57600->isChecked();
}
