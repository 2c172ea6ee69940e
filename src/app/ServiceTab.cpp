#include "app/ServiceTab.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "app/QtText.h"
#include "core/Bytes.h"

ServiceTab::ServiceTab(QWidget* parent) : QWidget(parent)
{
    LayOut();
    HideCommandControls();
}

void ServiceTab::LayOut()
{
    auto* functions = new QVBoxLayout(fraFunc);
    for (auto it = chkFunc.rbegin(); it != chkFunc.rend(); ++it)
        functions->addWidget(*it);

    auto* date = new QGridLayout(fraServiceCalibDate);
    date->addWidget(Named(new QLabel("Day", fraServiceCalibDate), "lblCalibDay"), 0, 0);
    date->addWidget(Named(new QLabel("Month", fraServiceCalibDate), "lblCalibMonth"), 0, 1);
    date->addWidget(Named(new QLabel("Year", fraServiceCalibDate), "lblCalibYear"), 0, 2);
    date->addWidget(txtCalibManDateDay, 1, 0);
    date->addWidget(txtCalibManDateMonth, 1, 1);
    date->addWidget(txtCalibManDateYear, 1, 2);

    auto* grid = new QGridLayout(this);
    grid->addWidget(cmbService, 0, 0);
    grid->addWidget(cmbService2, 1, 0);
    grid->addWidget(cmdGetService, 1, 1);
    grid->addWidget(cmdSendService, 2, 1);
    grid->addWidget(txtServiceValue, 2, 0);
    grid->addWidget(fraServiceCalibDate, 3, 0);
    grid->addWidget(fraFunc, 4, 0);
    grid->addWidget(txtService, 5, 0, 1, 2);
    grid->setRowStretch(5, 1);
}

// Until a command is selected only the command list and the log are offered.
void ServiceTab::HideCommandControls()
{
    cmbService2->hide();
    txtServiceValue->hide();
    cmdGetService->hide();
    cmdSendService->hide();
    fraFunc->hide();
    fraServiceCalibDate->hide();
}

void ServiceTab::AddWifiCommands()
{
    cmbService->addItem("WiFi setting");
    cmbService->addItem("WiFi register");
}

void ServiceTab::AddCalibrationCommand()
{
    cmbService->addItem("Calibration date");
}

void ServiceTab::SelectFirstCommand()
{
    cmbService->setCurrentIndex(0);
}

void ServiceTab::FillCalibrationDate(const LocalDateTime& date)
{
    txtCalibManDateDay->setText(ToQ(ZeroPadded(date.day, 2)));
    txtCalibManDateMonth->setText(ToQ(ZeroPadded(date.month, 2)));
    txtCalibManDateYear->setText(ToQ(ZeroPadded(date.year % 100, 2)));
}
