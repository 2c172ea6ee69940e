#include "app/WindowSink.h"

void WindowSink::Log(const std::string& text)
{
    text_.Log(text);
    Show();
}

void WindowSink::Live(const std::string& text)
{
    text_.Live(text);
    Show();
}

void WindowSink::ClearLog()
{
    text_.Clear();
    Show();
}

void WindowSink::StartFrom(const std::string& shownText)
{
    text_.Clear();
    text_.Log(shownText);
}

void WindowSink::Progress(int percent, const std::string& label)
{
    if (tab_.showProgress)
        tab_.showProgress(percent, label);
}

void WindowSink::HideProgress()
{
    if (tab_.hideProgress)
        tab_.hideProgress();
}

Answer WindowSink::Ask(const Question& question)
{
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
    dialogs_.Message(notice.icon, notice.title, notice.text);
}
