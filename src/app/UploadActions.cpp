#include "app/UploadActions.h"

#include "app/Form1.h"
#include "app/QtText.h"
#include "app/WindowSink.h"
#include "core/Paths.h"
#include "firmware/FirmwareUpload.h"

namespace {
constexpr int kCaptionChars = 40;
// Beside the port number in the settings store: "1" when Verify is ticked.
constexpr const char* kSettingsSection = "Startup";
constexpr const char* kSettingsVerifyKey = "Verify";
}  // namespace

UploadActions::UploadActions(Form1& form) : form_(form)
{
    UploadTab& tab = *form_.Upload;
    SettingsStore& settings = form_.Services().settings;
    tab.chkVerify->setChecked(settings.Value(kSettingsSection, kSettingsVerifyKey, "0") == "1");
    QObject::connect(tab.chkVerify, &QCheckBox::toggled, &tab, [&settings](bool ticked) {
        settings.SetValue(kSettingsSection, kSettingsVerifyKey, ticked ? "1" : "0");
    });
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
    chosenFile_ = *chosen;
    tab.lblNomeFile->setText(ToQ(FileCaption(chosenFile_)));
    tab.SetDialogFileName(chosenFile_);
    if (!FileNameOfPath(chosenFile_).empty())
        tab.CmdStartProg->setEnabled(true);
}

void UploadActions::SetControlsEnabled(bool enabled)
{
    form_.SSTab1->setEnabled(enabled);
    form_.mnuSeriale->menuAction()->setEnabled(enabled);
    form_.Upload->CmdStartProg->setEnabled(enabled);
}

void UploadActions::CmdStartProg_Click()
{
    UploadTab& tab = *form_.Upload;
    const FirmwareRequest request{tab.SelectedTarget(), chosenFile_, form_.mnu57600->isChecked(),
                                  tab.chkVerify->isChecked()};
    SetControlsEnabled(false);
    tab.PrgBar1->setValue(0);
    tab.SetStatusText("");
    tab.txtProgStatus->repaint();

    AppServices& s = form_.Services();
    WindowSink sink(s.dialogs, s.host,
                    {[&tab](const std::string& text) { tab.SetStatusText(text); },
                     [&tab](int percent, const std::string& label) { tab.ShowProgress(percent, label); },
                     [&tab] { tab.HideProgress(); }});
    OperationContext context{s.link, sink, s.appFolder};
    UploadFirmware(context, request);
    sink.Flush();
    SetControlsEnabled(true);
    form_.ShowBaudInStatus();
}
