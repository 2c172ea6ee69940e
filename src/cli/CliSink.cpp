#include "cli/CliSink.h"

#include <filesystem>

#include "core/Files.h"
#include "core/Paths.h"

void CliSink::Log(const std::string& text)
{
    text_.Log(text);
    log_.Update(text_.Text());
}

void CliSink::Live(const std::string& text)
{
    text_.Live(text);
    log_.Update(text_.Text());
}

void CliSink::ClearLog()
{
    text_.Clear();
    log_.Update(text_.Text());
}

void CliSink::Progress(int percent, const std::string&)
{
    log_.SetProgress(percent, host_.Now());
}

void CliSink::HideProgress()
{
    log_.HideProgress();
}

Answer CliSink::Decline(const Question& question, Answer refusal)
{
    declined_.push_back(question);
    return refusal;
}

Answer CliSink::Ask(const Question& question)
{
    // A question the window asks in a message box is shown as the box would show it.
    if (const auto box = MessageBoxOf(question))
        notices_.Message(box->icon, box->title, box->text, MsgButtons::Ok);
    if (std::holds_alternative<question::ConfirmWrite>(question) ||
        std::holds_alternative<question::PageNumbers>(question))
        return answers_.yes ? Answer::Yes() : Decline(question, Answer::Cancel());
    if (const auto* folder = std::get_if<question::DownloadFolder>(&question))
        return answers_.folder.empty() ? Decline(question, Answer::Cancel())
                                       : Answer::Path(JoinPath(answers_.folder, folder->suggestedName));
    if (std::holds_alternative<question::Retry>(question))
        return Decline(question, Answer::No());
    // A folder named for a register file takes the name the window proposes.
    std::error_code error;
    const auto* save = std::get_if<question::SaveRegisterFile>(&question);
    if (save && !answers_.file.empty() && std::filesystem::is_directory(FsPath(answers_.file), error))
        return Answer::Path(JoinPath(answers_.file, save->suggestedName));
    return answers_.file.empty() ? Decline(question, Answer::Cancel()) : Answer::Path(answers_.file);
}

void CliSink::Notify(const Notice& notice)
{
    notices_.Message(notice.icon, notice.title, notice.text, MsgButtons::Ok);
}
