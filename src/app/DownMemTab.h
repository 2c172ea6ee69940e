#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <string>

#include "app/NamedWidget.h"
#include "app/StatusBox.h"

// The "Down mem" tab: EEPROM and data-flash download / upload options, buttons and log.
//
// Each option rule runs from its box's tick change, so a tick set by the program (inside another
// rule too) runs the rule exactly as a click does, once per change; setting a tick a box already
// has runs nothing.
class DownMemTab : public QWidget {
    Q_OBJECT
public:
    explicit DownMemTab(QWidget* parent = nullptr);

    QPushButton* const cmdDownInfo = Named(new QPushButton("Info", this), "cmdDownInfo");
    QPushButton* const cmdDownDwData = Named(new QPushButton("Download", this), "cmdDownDwData");
    QPushButton* const cmdDownUpData = Named(new QPushButton("Upload", this), "cmdDownUpData");
    QCheckBox* const chkEE2Down = Named(new QCheckBox("EEprom", this), "chkEE2Down");
    QCheckBox* const chkFlashDown = Named(new QCheckBox("Flash", this), "chkFlashDown");
    QCheckBox* const chkDownALLdata = Named(new QCheckBox("Flash #MIS only", this), "chkDownALLdata");
    QCheckBox* const chkDownE2WriteNumRec = Named(new QCheckBox("EE  #MIS only", this), "chkDownE2WriteNumRec");
    QCheckBox* const chkDownEE2clearAll = Named(new QCheckBox("EE clear ALL 0xFF", this), "chkDownEE2clearAll");
    QLabel* const lblDownDa = Named(new QLabel("from", this), "lblDownDa");
    QLineEdit* const txtDownDaPag = Named(new QLineEdit("0", this), "txtDownDaPag");
    QLabel* const lblDownA = Named(new QLabel("to [2047]", this), "lblDownA");
    QLineEdit* const txtDownaPag = Named(new QLineEdit("2047", this), "txtDownaPag");
    QProgressBar* const PrgBar2 = Named(new QProgressBar(this), "PrgBar2");
    StatusBox* const txtDownStatus = Named(new StatusBox(StatusBox::Caret::FollowEnd, this), "txtDownStatus");

    // Start-up state: only Info and Download offered; the hidden boxes keep their ticks.
    void ApplyStartupState();
    // Flash-memory feature: every option box, the page range and the Upload button.
    void ShowFlashOptions();
    // EEPROM clear-all feature.
    void ShowClearAll();
    // The tab became current: connection hint, progress hidden.
    void OnTabEntered();

    void chkFlashDown_Click();
    void chkDownALLdata_Click();
    void chkDownEE2clearAll_Click();

    void SetStatusText(const std::string& text) { txtDownStatus->SetText(text); }
    void AppendStatusText(const std::string& text) { txtDownStatus->Append(text); }
    const std::string& StatusText() const { return txtDownStatus->Text(); }

private:
    void LayOut();
    void ConnectOptionRules();
    void SetPageRangeShown(bool shown);
};
