#include "app/WindowSink.h"

namespace {

// A call to the tab's progress functions.
struct ProgressCall {
    bool hide = false;
    int percent = 0;
    std::string label;
};

}  // namespace

struct WindowSink::Screen {
    Tab tab;
    LogText text;
    // Every text the log took since the last showing, in order: each is shown, as it was before
    // the showing waited for the line.
    std::vector<std::string> texts;
    // The progress calls since the last showing, two bar values in a row taken as one.
    std::vector<ProgressCall> progress;
    bool showPending = false;

    void TextChanged()
    {
        std::string now = text.Text();
        if (texts.empty() || texts.back() != now)
            texts.push_back(std::move(now));
    }

    void AddProgress(ProgressCall call)
    {
        if (!progress.empty() && !call.hide && !progress.back().hide) {
            ProgressCall& last = progress.back();
            last.percent = call.percent;
            if (!call.label.empty())
                last.label = std::move(call.label);  // an empty label leaves the percentage as it is
            return;
        }
        if (!progress.empty() && call.hide && progress.back().hide)
            return;
        progress.push_back(std::move(call));
    }

    void Show()
    {
        showPending = false;
        std::vector<std::string> shown;
        shown.swap(texts);
        for (const std::string& each : shown)
            tab.showLog(each);
        std::vector<ProgressCall> calls;
        calls.swap(progress);
        for (const ProgressCall& call : calls) {
            if (call.hide && tab.hideProgress)
                tab.hideProgress();
            else if (!call.hide && tab.showProgress)
                tab.showProgress(call.percent, call.label);
        }
    }
};

WindowSink::WindowSink(Dialogs& dialogs, Host& host, Tab tab)
    : dialogs_(dialogs), host_(host), screen_(std::make_shared<Screen>())
{
    screen_->tab = std::move(tab);
}

WindowSink::~WindowSink()
{
    if (screen_)
        screen_->Show();
}

void WindowSink::ShowLater()
{
    if (screen_->showPending)
        return;
    screen_->showPending = true;
    host_.Defer([screen = std::weak_ptr<Screen>(screen_)] {
        if (const auto shown = screen.lock(); shown && shown->showPending)
            shown->Show();
    });
}

void WindowSink::Flush()
{
    screen_->Show();
}

void WindowSink::Log(const std::string& text)
{
    screen_->text.Log(text);
    screen_->TextChanged();
    ShowLater();
}

void WindowSink::Live(const std::string& text)
{
    screen_->text.Live(text);
    screen_->TextChanged();
    ShowLater();
}

void WindowSink::ClearLog()
{
    screen_->text.Clear();
    screen_->TextChanged();
    ShowLater();
}

void WindowSink::StartFrom(const std::string& shownText)
{
    screen_->text.Clear();
    screen_->text.Log(shownText);
}

void WindowSink::Progress(int percent, const std::string& label)
{
    screen_->AddProgress({false, percent, label});
    ShowLater();
}

void WindowSink::HideProgress()
{
    screen_->AddProgress({true, 0, {}});
    ShowLater();
}

bool WindowSink::StopRequested() const
{
    return screen_->tab.stopRequested && screen_->tab.stopRequested();
}

Answer WindowSink::Ask(const Question& question)
{
    Flush();
    if (const auto box = MessageBoxOf(question)) {
        switch (dialogs_.Message(box->icon, box->title, box->text, box->buttons)) {
        case MsgAnswer::Yes: return Answer::Yes();
        case MsgAnswer::No: return Answer::No();
        default: return Answer::Cancel();
        }
    }
    if (const auto dialog = FileDialogOf(question)) {
        const auto chosen = dialog->save ? dialogs_.SaveFile(dialog->request) : dialogs_.OpenFile(dialog->request);
        return chosen ? Answer::Path(*chosen) : Answer::Cancel();
    }
    return Answer::Cancel();
}

void WindowSink::Notify(const Notice& notice)
{
    Flush();
    dialogs_.Message(notice.icon, notice.title, notice.text);
}
