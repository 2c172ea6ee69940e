#include "app/DownMemTab.h"

#include <QGridLayout>

#include "core/Bytes.h"

DownMemTab::DownMemTab(QWidget* parent) : QWidget(parent)
{
    chkEE2Down->setChecked(true);
    chkFlashDown->setChecked(true);
    chkDownALLdata->setChecked(true);
    chkDownE2WriteNumRec->setChecked(true);
    PrgBar2->setRange(0, 100);
    PrgBar2->hide();
    LayOut();
    ConnectOptionRules();
}

void DownMemTab::LayOut()
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(cmdDownInfo, 0, 0);
    grid->addWidget(cmdDownDwData, 0, 1);
    grid->addWidget(cmdDownUpData, 0, 2);
    grid->addWidget(chkEE2Down, 1, 0);
    grid->addWidget(chkDownE2WriteNumRec, 1, 1);
    grid->addWidget(chkDownEE2clearAll, 1, 2);
    grid->addWidget(chkFlashDown, 2, 0);
    grid->addWidget(chkDownALLdata, 2, 1);
    grid->addWidget(lblDownDa, 3, 0);
    grid->addWidget(txtDownDaPag, 3, 1);
    grid->addWidget(lblDownA, 4, 0);
    grid->addWidget(txtDownaPag, 4, 1);
    grid->addWidget(PrgBar2, 5, 0, 1, 3);
    grid->addWidget(txtDownStatus, 6, 0, 1, 3);
    grid->setRowStretch(6, 1);
}

void DownMemTab::ConnectOptionRules()
{
    connect(chkFlashDown, &QCheckBox::toggled, this, [this] { chkFlashDown_Click(); });
    connect(chkDownALLdata, &QCheckBox::toggled, this, [this] { chkDownALLdata_Click(); });
    connect(chkDownEE2clearAll, &QCheckBox::toggled, this, [this] { chkDownEE2clearAll_Click(); });
}

void DownMemTab::ApplyStartupState()
{
    cmdDownDwData->setText("Download");
    cmdDownUpData->hide();
    cmdDownUpData->setText("Upload");
    SetPageRangeShown(false);
    chkFlashDown->hide();
    chkEE2Down->hide();
    chkDownALLdata->hide();
    // Hidden first: the clear-all rule does nothing while its box is hidden.
    chkDownEE2clearAll->hide();
    chkDownEE2clearAll->setChecked(false);
    chkDownE2WriteNumRec->hide();
}

void DownMemTab::ShowFlashOptions()
{
    chkEE2Down->show();
    chkFlashDown->show();
    chkFlashDown->setChecked(true);
    SetPageRangeShown(true);
    cmdDownUpData->show();
    chkDownALLdata->show();
    chkDownALLdata->setChecked(false);
    chkDownE2WriteNumRec->show();
    chkDownE2WriteNumRec->setChecked(false);
}

void DownMemTab::ShowClearAll()
{
    chkDownEE2clearAll->show();
}

void DownMemTab::OnTabEntered()
{
    txtDownStatus->SetText(std::string("1. Connect K4410 cable to the device") + kCrLf + "2. Switch ON the device");
    PrgBar2->hide();
}

void DownMemTab::SetPageRangeShown(bool shown)
{
    txtDownDaPag->setVisible(shown);
    txtDownaPag->setVisible(shown);
    lblDownDa->setVisible(shown);
    lblDownA->setVisible(shown);
}

// "Shown" below is a box's own visibility (not hidden), whatever tab is current.

void DownMemTab::chkFlashDown_Click()
{
    if (!chkFlashDown->isChecked()) {
        SetPageRangeShown(false);
        return;
    }
    if (!chkFlashDown->isHidden() && !cmdDownUpData->isHidden())
        SetPageRangeShown(true);
}

void DownMemTab::chkDownALLdata_Click()
{
    const bool allData = chkDownALLdata->isChecked();
    chkEE2Down->setChecked(true);
    chkEE2Down->setEnabled(!allData);
    chkFlashDown->setChecked(true);
    chkFlashDown->setEnabled(!allData);
    txtDownDaPag->setEnabled(!allData);
    txtDownaPag->setEnabled(!allData);
    if (!allData) {
        txtDownDaPag->setText("0");
        txtDownaPag->setText("2047");
    }
}

void DownMemTab::chkDownEE2clearAll_Click()
{
    if (chkDownEE2clearAll->isHidden())
        return;
    if (chkDownEE2clearAll->isChecked()) {
        chkFlashDown->setChecked(false);
        chkFlashDown->hide();
        chkEE2Down->hide();
        chkDownE2WriteNumRec->hide();
    } else {
        chkFlashDown->show();
        chkFlashDown->setChecked(true);
        chkEE2Down->show();
        chkDownE2WriteNumRec->show();
    }
}
