#include "app/ServiceTab.h"

#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/QtText.h"
#include "core/Bytes.h"
#include "service/ServicePanel.h"
#include "service/WifiRegisters.h"

namespace {

// Grid of the tab: the lists in column 0, Get and Set in column 1, column 2 takes the slack.
enum Row { kCommandRow = 0, kListRow = 1, kValueRow = 2, kFunctionsRow = 3, kLogRow = 4 };
enum Column { kListColumn = 0, kButtonColumn = 1, kSlackColumn = 2 };
constexpr int kAllColumns = 3;
constexpr int kListMinimumWidth = 320;
constexpr int kDateBoxWidth = 64;

}  // namespace

ServiceTab::ServiceTab(QWidget* parent) : QWidget(parent)
{
    LayOut();
    HideCommandControls();
    connect(cmbService, &QComboBox::currentIndexChanged, this, [this] { OnCommandSelected(); });
    connect(cmbService2, &QComboBox::currentIndexChanged, this, [this] { OnSecondListSelected(); });
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
    for (QLineEdit* box : {txtCalibManDateDay, txtCalibManDateMonth, txtCalibManDateYear})
        box->setMaximumWidth(kDateBoxWidth);
    date->addWidget(txtCalibManDateDay, 1, 0);
    date->addWidget(txtCalibManDateMonth, 1, 1);
    date->addWidget(txtCalibManDateYear, 1, 2);

    cmbService->setMinimumWidth(kListMinimumWidth);
    cmbService2->setMinimumWidth(kListMinimumWidth);
    grid_ = new QGridLayout(this);
    grid_->setColumnStretch(kSlackColumn, 1);
    grid_->setRowStretch(kLogRow, 1);
    Place(cmbService, kCommandRow, kListColumn);
    Place(txtService, kLogRow, kListColumn, 1, kAllColumns);
    Arrange(Arrangement::Registers);
}

void ServiceTab::Place(QWidget* widget, int row, int column, int rows, int columns)
{
    grid_->removeWidget(widget);
    grid_->addWidget(widget, row, column, rows, columns);
}

// Registers: the list, Get right of it, Set under Get (the value box beside Set), the function
// boxes under them. Module switch: Set right of the list. Calibration date: the date frame under
// the command list with Get right of it and Set under Get. The log fills the rest of the tab.
void ServiceTab::Arrange(Arrangement arrangement)
{
    switch (arrangement) {
    case Arrangement::Registers:
        Place(cmbService2, kListRow, kListColumn);
        Place(cmdGetService, kListRow, kButtonColumn);
        Place(txtServiceValue, kValueRow, kListColumn);
        Place(cmdSendService, kValueRow, kButtonColumn);
        Place(fraFunc, kFunctionsRow, kListColumn, 1, 2);
        Place(fraServiceCalibDate, kListRow, kListColumn, 2, 1);
        break;
    case Arrangement::ModuleSwitch:
        Place(cmbService2, kListRow, kListColumn);
        Place(cmdSendService, kListRow, kButtonColumn);
        break;
    case Arrangement::CalibrationDate:
        Place(fraServiceCalibDate, kListRow, kListColumn, 2, 1);
        Place(cmdGetService, kListRow, kButtonColumn);
        Place(cmdSendService, kValueRow, kButtonColumn);
        break;
    }
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
    const QSignalBlocker quiet(cmbService);
    cmbService->addItem(kWifiSettingCommand);
    cmbService->addItem(kWifiRegisterCommand);
}

void ServiceTab::AddCalibrationCommand()
{
    const QSignalBlocker quiet(cmbService);
    cmbService->addItem(kCalibrationDateCommand);
}

void ServiceTab::SelectFirstCommand()
{
    {
        const QSignalBlocker quiet(cmbService);
        cmbService->setCurrentIndex(0);
    }
    OnCommandSelected();
}

void ServiceTab::FillCalibrationDate(const LocalDateTime& date)
{
    txtCalibManDateDay->setText(ToQ(ZeroPadded(date.day, 2)));
    txtCalibManDateMonth->setText(ToQ(ZeroPadded(date.month, 2)));
    txtCalibManDateYear->setText(ToQ(ZeroPadded(date.year % 100, 2)));
}

void ServiceTab::FillSecondList(const std::vector<std::string>& entries, int selected)
{
    {
        const QSignalBlocker quiet(cmbService2);
        for (const std::string& entry : entries)
            cmbService2->addItem(ToQ(entry));
        cmbService2->setCurrentIndex(selected);
    }
    OnSecondListSelected();
}

void ServiceTab::ShowCommandButtons(bool get, bool set)
{
    for (auto [button, shown] : {std::pair{cmdGetService, get}, std::pair{cmdSendService, set}}) {
        if (!shown)
            continue;
        button->setEnabled(true);
        button->show();
    }
}

void ServiceTab::OnCommandSelected()
{
    {
        const QSignalBlocker quiet(cmbService2);
        cmbService2->clear();
    }
    HideCommandControls();
    txtService->show();

    const std::string command = FromQ(cmbService->currentText());
    SetLogText(CommandTitle(command));
    if (command == kWifiRegisterCommand) {
        Arrange(Arrangement::Registers);
        FillSecondList(WifiRegisterEntries(), kFirstRegisterEntry);
        cmbService2->show();
        ShowCommandButtons(true, true);
    } else if (command == kWifiSettingCommand) {
        Arrange(Arrangement::ModuleSwitch);
        FillSecondList(WifiModuleStates(), kModuleOn);
        cmbService2->show();
        ShowCommandButtons(false, true);
    } else if (command == kCalibrationDateCommand) {
        Arrange(Arrangement::CalibrationDate);
        fraServiceCalibDate->show();
        ShowCommandButtons(true, true);
    }
}

void ServiceTab::OnSecondListSelected()
{
    SetLogText("");
    txtServiceValue->clear();
    txtServiceValue->hide();
    cmdGetService->hide();
    cmdSendService->hide();
    fraFunc->hide();
    txtService->show();

    const PanelState state = SecondListPanel(FromQ(cmbService->currentText()), cmbService2->currentIndex());
    txtServiceValue->setVisible(state.valueBox);
    cmdGetService->setVisible(state.get);
    cmdSendService->setVisible(state.set);
    if (state.functions) {
        txtService->hide();
        const auto& captions = FunctionBoxCaptions();
        for (std::size_t i = 0; i < chkFunc.size(); ++i)
            chkFunc[i]->setText(ToQ(captions[i]));
        fraFunc->show();
    }
    SetLogText(state.log);
}
