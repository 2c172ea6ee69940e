#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "app/DownMemTab.h"
#include "core/FeatureConfig.h"
#include "app/ParamTab.h"
#include "app/ServiceTab.h"
#include "app/UploadTab.h"
#include "app/frmAvviso.h"
#include "params/ParamCatalogue.h"

class ParamActions;
class DownMemActions;
class UploadActions;
class ServiceActions;

// Tabs of SSTab1.
enum TabIndex : int { kUploadTab = 0, kDownMemTab = 1, kParamTab = 2, kServiceTab = 3 };
constexpr int kTabCount = 4;
constexpr int kLastCommPort = 15;

// The main window: the four tabs, the "Exit !", "COMM" and "Baudrate" menus and the status bar.
class Form1 : public QMainWindow {
    Q_OBJECT

    // Declared first, so they exist before the controls built below (the Param tab uses the catalogue).
    AppServices services_;
    ParamCatalogue catalogue_;

public:
    explicit Form1(AppServices services, QWidget* parent = nullptr);
    ~Form1() override;

    // Everything from program start until the window is ready. False when the program must end
    // (another instance runs, or no serial port exists); the message has been shown then.
    bool Startup(bool anotherInstanceRunning);

    // Saved port number ("Startup"/"CommPort", "1" when absent).
    int LoadCommPort() const;
    // Saves the number, ticks its "COMM" entry only and refreshes the status panels.
    void SelectCommPort(int portNumber);
    void OnCommEntryClicked(int portNumber);
    void OnBaud57600Clicked();
    void OnBaud115200Clicked();
    // Speed, title and tab set-up for the current tab.
    void OnTabChanged();
    // Disables every tab but the given one; UnlockAllTabs enables them all.
    void LockOtherTabs(int index);
    void UnlockAllTabs();
    // Status panel 2 = "Baud: " + BaudText.
    void ShowBaudInStatus();

    QAction* CommEntry(int portNumber) const { return mnuCOMM_.at(static_cast<std::size_t>(portNumber)); }
    ParamCatalogue& Catalogue() { return catalogue_; }
    AppServices& Services() { return services_; }

    QTabWidget* const SSTab1 = Named(new QTabWidget(this), "SSTab1");
    UploadTab* const Upload = Named(new UploadTab(this), "UploadTab");
    DownMemTab* const DownMem = Named(new DownMemTab(this), "DownMemTab");
    ParamTab* const Param = Named(new ParamTab(catalogue_, this), "ParamTab");
    ServiceTab* const Service = Named(new ServiceTab(this), "ServiceTab");

    QMenu* const mnuExitMenu = Named(new QMenu("Exit !", this), "mnuExitMenu");
    QAction* const mnuExit = Named(new QAction("Exit !", this), "mnuExit");
    QMenu* const mnuSeriale = Named(new QMenu("COMM", this), "mnuSeriale");
    QMenu* const mnuBaudrate = Named(new QMenu("Baudrate", this), "mnuBaudrate");
    QAction* const mnu57600 = Named(new QAction("57600", this), "mnu57600");
    QAction* const mnu115200 = Named(new QAction("115200", this), "mnu115200");

    QStatusBar* const StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
    QLabel* const StatusBar1Panel1 = Named(new QLabel(this), "StatusBar1Panel1");
    QLabel* const StatusBar1Panel2 = Named(new QLabel(this), "StatusBar1Panel2");
    QLabel* const StatusBar1Panel3 = Named(new QLabel(this), "StatusBar1Panel3");

    frmAvviso* const Avviso = new frmAvviso(this);

private:
    struct PortSearch {
        std::vector<int> found;
        bool savedPortFound = false;
        bool port1Found = false;
        std::vector<PortOpenResult> refused;  // ports this user may not open
    };

    void BuildTabs();
    void BuildMenus();
    void BuildCommMenu();
    void BuildStatusBar();

    void SetBaud(const std::string& baudText);
    PortSearch SearchPorts();
    void ReportSearchProgress(const std::string& secondLine);
    void ShowNotice(const std::string& text);
    void SelectStartPort(const PortSearch& search);
    void ApplyFeatureConfiguration();
    void ApplyFeature(Feature feature);
    void ShowTab(int index, bool shown);
    void SetTitleSuffix(const char* suffix);
    void ExitProgram();

    void closeEvent(QCloseEvent* event) override;

    std::array<QAction*, kLastCommPort + 1> mnuCOMM_{};  // index = port number; [0] unused

public:
    // The operations behind the tabs' buttons.
    std::unique_ptr<ParamActions> paramActions;
    std::unique_ptr<DownMemActions> downMemActions;
    std::unique_ptr<UploadActions> uploadActions;
    std::unique_ptr<ServiceActions> serviceActions;
};
