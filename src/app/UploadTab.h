#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <string>
#include <vector>

#include "app/NamedWidget.h"
#include "app/StatusBox.h"
#include "link/InstrumentModels.h"

// The "Upload" tab: firmware target, file choice, start button, log and progress.
class UploadTab : public QWidget {
    Q_OBJECT
public:
    explicit UploadTab(QWidget* parent = nullptr);

    QComboBox* const cmbUploadTipoStrum = Named(new QComboBox(this), "cmbUploadTipoStrum");
    QPushButton* const CmdBrowse = Named(new QPushButton("Browse ...", this), "CmdBrowse");
    QLabel* const lblNomeFile = Named(new QLabel(this), "lblNomeFile");
    QPushButton* const CmdStartProg = Named(new QPushButton("Start", this), "CmdStartProg");
    // The board written straight through its bootloader is read back before it is started.
    QCheckBox* const chkVerify = Named(new QCheckBox("Verify", this), "chkVerify");
    StatusBox* const txtProgStatus = Named(new StatusBox(StatusBox::Caret::FollowEnd, this), "txtProgStatus");
    QProgressBar* const PrgBar1 = Named(new QProgressBar(this), "PrgBar1");
    QLabel* const lblPercUpload = Named(new QLabel("0", this), "lblPercUpload");

    // Adds the targets in list order and selects the first.
    void FillTargets(const std::vector<FirmwareTarget>& targets);
    // Target selection: file filter and instructions of the selected target; the chosen file's
    // caption and the dialog's file name are cleared.
    void OnTargetSelected();
    // The tab became current: empty log, progress hidden, target selection for the current item.
    void OnTabEntered();
    // The bar at `percent`; the percentage label shows `label` unless it is empty.
    void ShowProgress(int percent, const std::string& label);
    void HideProgress();

    std::string SelectedTarget() const;
    // Filter of the file dialog ("Description|pattern"), set by the target selection.
    const std::string& FileFilter() const { return fileFilter_; }
    const std::string& DialogFileName() const { return dialogFileName_; }
    void SetDialogFileName(std::string name) { dialogFileName_ = std::move(name); }

    void SetStatusText(const std::string& text) { txtProgStatus->SetText(text); }
    void AppendStatusText(const std::string& text) { txtProgStatus->Append(text); }
    const std::string& StatusText() const { return txtProgStatus->Text(); }

private:
    void LayOut();

    std::string fileFilter_;
    std::string dialogFileName_;
};
