#include "app/UploadTab.h"

#include <QGridLayout>

#include "app/QtText.h"
#include "link/InstrumentModels.h"

UploadTab::UploadTab(QWidget* parent) : QWidget(parent)
{
    PrgBar1->setRange(0, 100);
    LayOut();
    connect(cmbUploadTipoStrum, &QComboBox::currentIndexChanged, this, [this] { OnTargetSelected(); });
}

void UploadTab::LayOut()
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(cmbUploadTipoStrum, 0, 0);
    grid->addWidget(CmdBrowse, 0, 1);
    grid->addWidget(lblNomeFile, 1, 0, 1, 2);
    grid->addWidget(chkVerify, 2, 0);
    grid->addWidget(CmdStartProg, 2, 1);
    grid->addWidget(txtProgStatus, 3, 0, 1, 2);
    grid->addWidget(PrgBar1, 4, 0);
    grid->addWidget(lblPercUpload, 4, 1);
    grid->setRowStretch(3, 1);
    // A label of fixed size: a new percentage redraws the label alone, not the whole window.
    lblPercUpload->setFixedSize(lblPercUpload->fontMetrics().horizontalAdvance(QStringLiteral("100%")),
                                lblPercUpload->sizeHint().height());
}

void UploadTab::FillTargets(const std::vector<FirmwareTarget>& targets)
{
    for (const FirmwareTarget& target : targets)
        cmbUploadTipoStrum->addItem(ToQ(target.name));
    cmbUploadTipoStrum->setCurrentIndex(0);
}

std::string UploadTab::SelectedTarget() const
{
    return FromQ(cmbUploadTipoStrum->currentText());
}

void UploadTab::OnTargetSelected()
{
    const FirmwareTarget* target = FindFirmwareTarget(SelectedTarget());
    if (!target)
        return;
    fileFilter_ = target->filter;
    txtProgStatus->SetText(target->instructions);
    dialogFileName_.clear();
    lblNomeFile->clear();
}

void UploadTab::OnTabEntered()
{
    HideProgress();
    txtProgStatus->Clear();
    OnTargetSelected();
}

void UploadTab::ShowProgress(int percent, const std::string& label)
{
    PrgBar1->setValue(percent);
    PrgBar1->show();
    if (label.empty())
        return;
    lblPercUpload->setText(ToQ(label));
    lblPercUpload->show();
}

void UploadTab::HideProgress()
{
    PrgBar1->hide();
    lblPercUpload->hide();
}
