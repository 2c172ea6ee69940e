#include "app/Form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QSignalBlocker>
#include <algorithm>
#include <utility>

#include "app/DownMemActions.h"
#include "app/ParamActions.h"
#include "app/UploadActions.h"
#include "app/ServiceActions.h"
#include "app/QtText.h"
#include "core/Bytes.h"
#include "link/PortAccess.h"
#include "link/InstrumentModels.h"

namespace {

constexpr const char* kTitle = "UpLoad 31400-31420-27510-27520";
constexpr const char* kVersion = " V1.11  25/07/25 ";
constexpr const char* kTabTitleSuffix[kTabCount] = {"  Upload firmware", "  Download data memory",
                                                    "  Write parameter", "  Service"};
constexpr double kSearchResultShownS = 1.0;

constexpr const char* kSettingsSection = "Startup";
constexpr const char* kSettingsPortKey = "CommPort";

}  // namespace

Form1::Form1(AppServices services, QWidget* parent) : QMainWindow(parent), services_(std::move(services))
{
    setObjectName("Form1");
    BuildTabs();
    BuildMenus();
    BuildStatusBar();
    paramActions = std::make_unique<ParamActions>(*this);
    downMemActions = std::make_unique<DownMemActions>(*this);
    uploadActions = std::make_unique<UploadActions>(*this);
    serviceActions = std::make_unique<ServiceActions>(*this);
}

Form1::~Form1() = default;

// Closing the window ends the program, also in the middle of an operation: its waits return at
// once, it unwinds (a transfer stops as after Stop) and the port is closed.
void Form1::closeEvent(QCloseEvent* event)
{
    services_.host.RequestQuit();
    QMainWindow::closeEvent(event);
    QCoreApplication::quit();
}

void Form1::BuildTabs()
{
    SSTab1->addTab(Upload, "Upload");
    SSTab1->addTab(DownMem, "Down mem");
    SSTab1->addTab(Param, "Param");
    SSTab1->addTab(Service, "Service");
    setCentralWidget(SSTab1);
    connect(SSTab1, &QTabWidget::currentChanged, this, [this] { OnTabChanged(); });
}

void Form1::BuildMenus()
{
    menuBar()->addMenu(mnuExitMenu);
    mnuExitMenu->addAction(mnuExit);
    connect(mnuExit, &QAction::triggered, this, [this] { ExitProgram(); });

    menuBar()->addMenu(mnuSeriale);
    BuildCommMenu();

    menuBar()->addMenu(mnuBaudrate);
    for (QAction* entry : {mnu57600, mnu115200}) {
        entry->setCheckable(true);
        mnuBaudrate->addAction(entry);
    }
    connect(mnu57600, &QAction::triggered, this, [this] { OnBaud57600Clicked(); });
    connect(mnu115200, &QAction::triggered, this, [this] { OnBaud115200Clicked(); });
}

// "COMM1".."COMM15"; only COMM1 is offered until the port search has run. Each entry's tooltip
// names the device it opens (an action without a tooltip would show its caption instead).
void Form1::BuildCommMenu()
{
    mnuSeriale->setToolTipsVisible(true);
    for (int port = 1; port <= kLastCommPort; ++port) {
        const QString caption = "COMM" + QString::number(port);
        QAction* entry = new QAction(caption, mnuSeriale);
        entry->setObjectName("mnu" + caption);
        entry->setCheckable(true);
        entry->setVisible(port == 1);
        const std::string device = services_.link.port().DeviceOf(port);
        entry->setToolTip(device.empty() ? QString("no device") : ToQ(device));
        mnuSeriale->addAction(entry);
        connect(entry, &QAction::triggered, this, [this, port] { OnCommEntryClicked(port); });
        mnuCOMM_[static_cast<std::size_t>(port)] = entry;
    }
}

void Form1::BuildStatusBar()
{
    setStatusBar(StatusBar1);
    StatusBar1->addWidget(StatusBar1Panel1, 1);
    StatusBar1->addWidget(StatusBar1Panel2, 1);
    StatusBar1->addWidget(StatusBar1Panel3, 2);
}

// ------------------------------------------------------------------------------------ start-up

bool Form1::Startup(bool anotherInstanceRunning)
{
    if (anotherInstanceRunning) {
        services_.dialogs.Message(MsgIcon::Exclamation, "MESSAGE", "Application just running !!!");
        close();
        return false;
    }

    SetBaud("115200");
    services_.link.CommPortNumber = LoadCommPort();

    const PortSearch search = SearchPorts();
    if (search.found.empty()) {
        std::string text = std::string("No Serial COM port found !!") + kCrLf + kCrLf + "Unable to continue";
        if (!search.refused.empty())
            text += kCrLf + std::string(kCrLf) + PermissionHint(search.refused);
        services_.dialogs.Message(MsgIcon::Exclamation, "MESSAGE", text);
        close();
        return false;
    }
    SelectStartPort(search);

    Upload->FillTargets(FirmwareTargetModels());
    DownMem->PrgBar2->hide();
    Upload->lblPercUpload->hide();
    ShowTab(kDownMemTab, true);
    DownMem->ApplyStartupState();
    ShowTab(kParamTab, false);
    ShowTab(kServiceTab, false);
    Param->FillFamilies(ParamFamilies());
    ApplyFeatureConfiguration();

    Param->OnFamilySelected();
    DownMem->chkFlashDown_Click();
    Upload->CmdStartProg->setEnabled(false);
    {
        // The handler runs once below, whether or not the selection changes.
        const QSignalBlocker quiet(SSTab1);
        SSTab1->setCurrentIndex(kUploadTab);
    }
    OnTabChanged();
    return true;
}

Form1::PortSearch Form1::SearchPorts()
{
    Avviso->show();
    ShowNotice("Research available COM");
    PortSearch search;
    for (int port = 1; port <= kLastCommPort; ++port) {
        if (services_.link.TryOpenPort(port)) {
            CommEntry(port)->setVisible(true);
            search.found.push_back(port);
            search.savedPortFound = search.savedPortFound || port == services_.link.CommPortNumber;
            search.port1Found = search.port1Found || port == 1;
        } else if (services_.link.LastOpenError().accessDenied) {
            search.refused.push_back(services_.link.LastOpenError());
        }
        ReportSearchProgress("COM" + std::to_string(port) + "  (found: " + std::to_string(search.found.size()) + ")");
    }
    ReportSearchProgress("found: " + std::to_string(search.found.size()));
    services_.link.Delay(kSearchResultShownS);
    Avviso->close();
    return search;
}

void Form1::ReportSearchProgress(const std::string& secondLine)
{
    ShowNotice(std::string("Research available COM") + kCrLf + secondLine);
}

// The notice is repainted at once; the yield lets a window that is not on screen yet get there
// (its first paint comes with the platform's expose event), so every probe is seen.
void Form1::ShowNotice(const std::string& text)
{
    Avviso->SetMessage(text);
    services_.host.Yield(services_.host.Now());
}

void Form1::SelectStartPort(const PortSearch& search)
{
    if (!search.port1Found)
        CommEntry(1)->setVisible(false);
    if (!search.savedPortFound)
        services_.link.CommPortNumber = search.found.front();
    OnCommEntryClicked(services_.link.CommPortNumber);
}

// The first configuration file found is the one used.
void Form1::ApplyFeatureConfiguration()
{
    const std::vector<std::string>& folders = services_.configFolders;
    const auto path = FindConfigFile(folders.empty() ? std::vector<std::string>{services_.appFolder} : folders);
    if (!path)
        return;
    for (const Feature feature : ReadFeatures(*path))
        ApplyFeature(feature);
}

void Form1::ApplyFeature(Feature feature)
{
    switch (feature) {
    case Feature::FlashOpen:
        DownMem->ShowFlashOptions();
        break;
    case Feature::ParamEdit:
        ShowTab(kParamTab, true);
        break;
    case Feature::EeWipeFull:
        DownMem->ShowClearAll();
        break;
    case Feature::WlanOps:
        ShowTab(kServiceTab, true);
        Service->AddWifiCommands();
        Service->SelectFirstCommand();
        break;
    case Feature::CalStmp:
        ShowTab(kServiceTab, true);
        Service->AddCalibrationCommand();
        Service->SelectFirstCommand();
        Service->FillCalibrationDate(services_.host.LocalNow());
        break;
    }
}

void Form1::ShowTab(int index, bool shown)
{
    SSTab1->setTabVisible(index, shown);
}

// ---------------------------------------------------------------------------- port and speed

int Form1::LoadCommPort() const
{
    const double saved = LeadingNumber(services_.settings.Value(kSettingsSection, kSettingsPortKey, "1"));
    // A number beyond any port is kept out of range but within the 16-bit port number.
    return static_cast<int>(RoundHalfEven(std::clamp(saved, -32768.0, 32767.0)));
}

void Form1::SelectCommPort(int portNumber)
{
    services_.settings.SetValue(kSettingsSection, kSettingsPortKey, std::to_string(portNumber));
    for (int port = 1; port <= kLastCommPort; ++port)
        CommEntry(port)->setChecked(port == portNumber);
    StatusBar1Panel1->setText("Port: COM" + QString::number(portNumber));
    StatusBar1Panel1->setToolTip(ToQ(services_.link.port().DeviceOf(portNumber)));
    ShowBaudInStatus();
    StatusBar1Panel3->clear();
}

void Form1::OnCommEntryClicked(int portNumber)
{
    services_.link.CommPortNumber = portNumber;
    SelectCommPort(portNumber);
}

void Form1::OnBaud57600Clicked()
{
    SetBaud("57600");
}

void Form1::OnBaud115200Clicked()
{
    SetBaud("115200");
}

void Form1::SetBaud(const std::string& baudText)
{
    services_.link.BaudText = baudText;
    ShowBaudInStatus();
    mnu57600->setChecked(baudText == "57600");
    mnu115200->setChecked(baudText == "115200");
}

void Form1::ShowBaudInStatus()
{
    StatusBar1Panel2->setText("Baud: " + ToQ(services_.link.BaudText));
}

// ----------------------------------------------------------------------------------- tabs

// The speed menu is offered on the Upload tab only, which starts at 57600; every other tab
// works at 115200.
void Form1::OnTabChanged()
{
    SetBaud("115200");
    mnuBaudrate->menuAction()->setVisible(false);
    const int tab = SSTab1->currentIndex();
    if (tab >= 0 && tab < kTabCount)
        SetTitleSuffix(kTabTitleSuffix[tab]);
    switch (tab) {
    case kUploadTab:
        mnuBaudrate->menuAction()->setVisible(true);
        OnBaud57600Clicked();
        Upload->OnTabEntered();
        break;
    case kDownMemTab:
        DownMem->OnTabEntered();
        break;
    default:
        break;
    }
    ShowBaudInStatus();
}

void Form1::SetTitleSuffix(const char* suffix)
{
    setWindowTitle(QString(kTitle) + kVersion + suffix);
}

void Form1::LockOtherTabs(int index)
{
    for (int tab = 0; tab < SSTab1->count(); ++tab)
        SSTab1->setTabEnabled(tab, tab == index);
}

void Form1::UnlockAllTabs()
{
    for (int tab = 0; tab < SSTab1->count(); ++tab)
        SSTab1->setTabEnabled(tab, true);
}

void Form1::ExitProgram()
{
    close();
    QCoreApplication::quit();
}
