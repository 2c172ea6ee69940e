#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "app/NamedWidget.h"
#include "app/StatusBox.h"
#include "core/Host.h"

// The "Service" tab: command list, register / module-state list, value box, Get and Set, the
// Wi-Fi functionality boxes, the calibration-date boxes and the log. Choosing a command arranges
// the tab for it; choosing an entry of the second list shows what that entry offers.
class ServiceTab : public QWidget {
    Q_OBJECT
public:
    explicit ServiceTab(QWidget* parent = nullptr);

    QComboBox* const cmbService = Named(new QComboBox(this), "cmbService");
    QComboBox* const cmbService2 = Named(new QComboBox(this), "cmbService2");
    QLineEdit* const txtServiceValue = Named(new QLineEdit(this), "txtServiceValue");
    QPushButton* const cmdGetService = Named(new QPushButton("Get", this), "cmdGetService");
    QPushButton* const cmdSendService = Named(new QPushButton("Set", this), "cmdSendService");
    QGroupBox* const fraFunc = Named(new QGroupBox("Module functionality", this), "fraFunc");
    // chkFunc[n] is "chkFunc<n>", the bit n of register 0x20.
    const std::array<QCheckBox*, 4> chkFunc{
        Named(new QCheckBox("Enable AP Wi-Fi functionality", fraFunc), "chkFunc0"),
        Named(new QCheckBox("Enable TCP socket", fraFunc), "chkFunc1"),
        Named(new QCheckBox("Enable station Wi-Fi functionality ", fraFunc), "chkFunc2"),
        Named(new QCheckBox("Enable MQTT connection", fraFunc), "chkFunc3")};
    QGroupBox* const fraServiceCalibDate = Named(new QGroupBox("Calib DATE", this), "fraServiceCalibDate");
    QLineEdit* const txtCalibManDateDay = Named(new QLineEdit(fraServiceCalibDate), "txtCalibManDateDay");
    QLineEdit* const txtCalibManDateMonth = Named(new QLineEdit(fraServiceCalibDate), "txtCalibManDateMonth");
    QLineEdit* const txtCalibManDateYear = Named(new QLineEdit(fraServiceCalibDate), "txtCalibManDateYear");
    StatusBox* const txtService = Named(new StatusBox(StatusBox::Caret::Keep, this), "txtService");

    // Command list entries of the Wi-Fi feature ("WiFi setting", "WiFi register").
    void AddWifiCommands();
    // Command list entry of the calibration-date feature ("Calibration date").
    void AddCalibrationCommand();
    // Selects the first command, which arranges the tab for it.
    void SelectFirstCommand();
    // Day, month and two-digit year, each as two digits.
    void FillCalibrationDate(const LocalDateTime& date);

    // Selection handlers of the two lists.
    void OnCommandSelected();
    void OnSecondListSelected();

    void SetLogText(const std::string& text) { txtService->SetText(text); }
    void AppendLogText(const std::string& text) { txtService->Append(text); }
    const std::string& LogText() const { return txtService->Text(); }

private:
    enum class Arrangement { Registers, ModuleSwitch, CalibrationDate };

    void LayOut();
    void HideCommandControls();
    void Arrange(Arrangement arrangement);
    void Place(QWidget* widget, int row, int column, int rows = 1, int columns = 1);
    void FillSecondList(const std::vector<std::string>& entries, int selected);
    void ShowCommandButtons(bool get, bool set);

    QGridLayout* grid_ = nullptr;
};
