#include "app/DownMemActions.h"

#include "app/Form1.h"
#include "app/QtText.h"
#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "memory/MemoryDownload.h"
#include "memory/MemoryUpload.h"
#include "memory/TransferReport.h"

namespace {
const QString kStopCaption = "Stop";
const QString kWaitCaption = "Wait ..";
const QString kDownloadCaption = "Download";
const QString kUploadCaption = "Upload";
}  // namespace

DownMemActions::DownMemActions(Form1& form) : form_(form)
{
    DownMemTab& tab = *form_.DownMem;
    QObject::connect(tab.cmdDownInfo, &QPushButton::clicked, &tab, [this] { cmdDownInfo_Click(); });
    QObject::connect(tab.cmdDownDwData, &QPushButton::clicked, &tab, [this] { cmdDownDwData_Click(); });
    QObject::connect(tab.cmdDownUpData, &QPushButton::clicked, &tab, [this] { cmdDownUpData_Click(); });
}

void DownMemActions::cmdDownInfo_Click()
{
    DownMemTab& tab = *form_.DownMem;
    SerialLink& link = form_.Services().link;
    const auto setEnabled = [&](bool enabled) {
        form_.SSTab1->setEnabled(enabled);
        form_.mnuSeriale->menuAction()->setEnabled(enabled);
        tab.cmdDownUpData->setEnabled(enabled);
        tab.cmdDownDwData->setEnabled(enabled);
    };
    setEnabled(false);
    tab.SetStatusText("");
    link.InitSeriale(link.CommPortNumber, link.BaudText);
    InstrumentInfo info;
    if (ReadInstrumentInfo(link, info) != code::kOk) {
        tab.SetStatusText(std::string(" Serial error !!") + kCrLf + kCrLf + "  Check connection." + kCrLf +
                          "  Rx: " + BytesToHex(link.Rx.RxBuffer, static_cast<std::size_t>(std::max(link.Rx.RxCount, 0))));
    } else {
        form_.ShowBaudInStatus();
        tab.SetStatusText(info.Name + " SN:" + info.SerialNumber + "  fw:" + info.FwVersion + kCrLf);
    }
    link.CloseSeriale();
    setEnabled(true);
}

bool DownMemActions::HandledAsStop(QPushButton* button)
{
    if (button->text() == kStopCaption) {
        transferAbort_ = true;
        button->setText(kWaitCaption);
        return true;
    }
    return button->text() == kWaitCaption;
}

void DownMemActions::cmdDownDwData_Click()
{
    DownMemTab& tab = *form_.DownMem;
    form_.mnuSeriale->menuAction()->setEnabled(false);
    tab.cmdDownUpData->setEnabled(false);
    tab.cmdDownInfo->setEnabled(false);
    if (HandledAsStop(tab.cmdDownDwData))
        return;

    form_.LockOtherTabs(kDownMemTab);
    transferAbort_ = false;
    tab.cmdDownDwData->setText(kStopCaption);
    tab.PrgBar2->setRange(0, 100);

    AppServices& services = form_.Services();
    MemoryDownload download(services.link, services.dialogs, form_.Catalogue(), *this, services.appFolder);
    download.Run();
    if (download.Failure().failed())
        ReportFailure(download.Failure());
    EndDownload();
}

// The serial menu stays enabled while an upload runs.
void DownMemActions::cmdDownUpData_Click()
{
    DownMemTab& tab = *form_.DownMem;
    tab.cmdDownDwData->setEnabled(false);
    tab.cmdDownInfo->setEnabled(false);
    if (HandledAsStop(tab.cmdDownUpData))
        return;

    form_.LockOtherTabs(kDownMemTab);
    transferAbort_ = false;
    tab.cmdDownUpData->setText(kStopCaption);
    tab.SetStatusText("");
    tab.PrgBar2->setRange(0, 100);

    AppServices& services = form_.Services();
    MemoryUpload upload(services.link, services.dialogs, *this, services.appFolder);
    upload.Run();
    if (upload.Failure().failed())
        ReportFailure(upload.Failure());
    EndUpload();
}

void DownMemActions::ReportFailure(const TransferFailure& failure)
{
    ShowTransferFailure(form_.Services().dialogs, failure);
}

void DownMemActions::EndDownload()
{
    DownMemTab& tab = *form_.DownMem;
    tab.cmdDownUpData->setEnabled(true);
    tab.cmdDownInfo->setEnabled(true);
    form_.mnuSeriale->menuAction()->setEnabled(true);
    tab.cmdDownDwData->setText(kDownloadCaption);
    form_.Services().link.CloseSeriale();
    form_.UnlockAllTabs();
}

void DownMemActions::EndUpload()
{
    DownMemTab& tab = *form_.DownMem;
    tab.cmdDownDwData->setEnabled(true);
    tab.cmdDownInfo->setEnabled(true);
    tab.cmdDownUpData->setEnabled(true);
    form_.mnuSeriale->menuAction()->setEnabled(true);
    tab.cmdDownUpData->setText(kUploadCaption);
    form_.Services().link.CloseSeriale();
    form_.UnlockAllTabs();
}

std::string DownMemActions::Status() const
{
    return form_.DownMem->StatusText();
}

void DownMemActions::SetStatus(const std::string& text)
{
    form_.DownMem->SetStatusText(text);
}

void DownMemActions::SetProgressVisible(bool visible)
{
    form_.DownMem->PrgBar2->setVisible(visible);
}

void DownMemActions::SetProgress(int percent)
{
    form_.DownMem->PrgBar2->setValue(percent);
}

bool DownMemActions::EepromChosen() const
{
    return form_.DownMem->chkEE2Down->isChecked();
}

bool DownMemActions::FlashChosen() const
{
    return form_.DownMem->chkFlashDown->isChecked();
}

bool DownMemActions::RecordCountRangeChosen() const
{
    const QCheckBox* box = form_.DownMem->chkDownALLdata;
    return !box->isHidden() && box->isChecked();
}

std::string DownMemActions::FromPageText() const
{
    return FromQ(form_.DownMem->txtDownDaPag->text());
}

std::string DownMemActions::ToPageText() const
{
    return FromQ(form_.DownMem->txtDownaPag->text());
}

void DownMemActions::SetPageTexts(const std::string& from, const std::string& to)
{
    form_.DownMem->txtDownDaPag->setText(ToQ(from));
    form_.DownMem->txtDownaPag->setText(ToQ(to));
}

bool DownMemActions::ClearAllChosen() const
{
    const QCheckBox* box = form_.DownMem->chkDownEE2clearAll;
    return !box->isHidden() && box->isChecked();
}

bool DownMemActions::RecordCountOnlyChosen() const
{
    return form_.DownMem->chkDownE2WriteNumRec->isChecked();
}

void DownMemActions::UntickEeprom()
{
    form_.DownMem->chkEE2Down->setChecked(false);
}

void DownMemActions::Repaint()
{
    DownMemTab& tab = *form_.DownMem;
    tab.txtDownStatus->repaint();
    tab.txtDownDaPag->repaint();
    tab.txtDownaPag->repaint();
}
