#pragma once

#include "app/WindowSink.h"
#include "memory/MemoryDownload.h"
#include "memory/MemoryUpload.h"

class Form1;
class QPushButton;

// The Info, Download and Upload buttons of the Down mem tab: the tab's boxes and page fields into
// the request, the operation with Stop on the transfer's own button, its result into the tab.
class DownMemActions {
public:
    explicit DownMemActions(Form1& form);

    void cmdDownInfo_Click();
    void cmdDownDwData_Click();
    void cmdDownUpData_Click();

private:
    // A click on a transfer button that reads "Stop" or "Wait ..": true when it was one.
    bool HandledAsStop(QPushButton* button);
    // The log box (repainted at once for the upload), the progress bar and Stop.
    WindowSink Sink(bool repaintLog);
    void ShowPages(const PageRange& pages);
    DownloadRequest DownloadRequestOfTab();
    MemoryUploadRequest UploadRequestOfTab();
    void Show(const MemoryUploadResult& result);
    void EndDownload();
    void EndUpload();

    Form1& form_;
    bool transferAbort_ = false;
};
