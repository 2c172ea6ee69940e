#include "app/DownMemActions.h"

#include <algorithm>

#include "app/Form1.h"
#include "app/QtText.h"
#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "link/Identify.h"

namespace {
const QString kStopCaption = "Stop";
const QString kWaitCaption = "Wait ..";
const QString kDownloadCaption = "Download";
const QString kUploadCaption = "Upload";

bool ShownAndTicked(const QCheckBox* box)
{
    return !box->isHidden() && box->isChecked();
}
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
    WindowSink sink = Sink(false);
    OperationContext context{link, sink, form_.Services().appFolder};
    const bool identified = ReadDownMemInfo(context).identified;
    sink.Flush();
    if (identified)
        form_.ShowBaudInStatus();
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

WindowSink DownMemActions::Sink(bool repaintLog)
{
    DownMemTab& tab = *form_.DownMem;
    return WindowSink(form_.Services().dialogs, form_.Services().host,
                      {[&tab, repaintLog](const std::string& text) {
                           tab.SetStatusText(text);
                           if (repaintLog)
                               tab.txtDownStatus->repaint();
                       },
                       [&tab](int percent, const std::string&) {
                           tab.PrgBar2->setValue(percent);
                           tab.PrgBar2->setVisible(true);
                       },
                       [&tab] { tab.PrgBar2->setVisible(false); }, [this] { return transferAbort_; }});
}

void DownMemActions::ShowPages(const PageRange& pages)
{
    DownMemTab& tab = *form_.DownMem;
    tab.txtDownDaPag->setText(QString::number(pages.first));
    tab.txtDownaPag->setText(QString::number(pages.last));
    tab.txtDownDaPag->repaint();
    tab.txtDownaPag->repaint();
}

DownloadRequest DownMemActions::DownloadRequestOfTab()
{
    const DownMemTab& tab = *form_.DownMem;
    return {form_.Catalogue(),
            tab.chkEE2Down->isChecked(),
            tab.chkFlashDown->isChecked(),
            ShownAndTicked(tab.chkDownALLdata),
            FromQ(tab.txtDownDaPag->text()),
            FromQ(tab.txtDownaPag->text()),
            [this](const PageRange& pages) { ShowPages(pages); }};
}

MemoryUploadRequest DownMemActions::UploadRequestOfTab()
{
    const DownMemTab& tab = *form_.DownMem;
    return {tab.chkEE2Down->isChecked(),
            tab.chkFlashDown->isChecked(),
            tab.chkDownE2WriteNumRec->isChecked(),
            ShownAndTicked(tab.chkDownEE2clearAll),
            FromQ(tab.txtDownDaPag->text()),
            FromQ(tab.txtDownaPag->text()),
            [this](const PageRange& pages) { ShowPages(pages); }};
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

    const DownloadRequest request = DownloadRequestOfTab();
    WindowSink sink = Sink(false);
    OperationContext context{form_.Services().link, sink, form_.Services().appFolder};
    DownloadMemory(context, request);
    sink.Flush();
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

    const MemoryUploadRequest request = UploadRequestOfTab();
    WindowSink sink = Sink(true);
    OperationContext context{form_.Services().link, sink, form_.Services().appFolder};
    const MemoryUploadResult result = UploadMemory(context, request);
    sink.Flush();
    Show(result);
    EndUpload();
}

// Clear-all unticks "EEprom" once it starts.
void DownMemActions::Show(const MemoryUploadResult& result)
{
    if (result.eepromStage == MemoryUploadResult::EepromStage::ClearAll)
        form_.DownMem->chkEE2Down->setChecked(false);
}

void DownMemActions::EndDownload()
{
    DownMemTab& tab = *form_.DownMem;
    tab.cmdDownUpData->setEnabled(true);
    tab.cmdDownInfo->setEnabled(true);
    form_.mnuSeriale->menuAction()->setEnabled(true);
    tab.cmdDownDwData->setText(kDownloadCaption);
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
    form_.UnlockAllTabs();
}
