#include "support/ScriptedDialogs.h"

MsgAnswer ScriptedDialogs::Message(MsgIcon icon, const std::string& title, const std::string& text, MsgButtons buttons)
{
    messages.push_back({icon, title, text});
    if (onMessage)
        onMessage();
    if (!answers.empty()) {
        const MsgAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgAnswer::Ok : MsgAnswer::Yes;
}

static std::optional<std::string> NextPath(std::deque<std::optional<std::string>>& paths)
{
    if (paths.empty())
        return std::nullopt;
    auto path = paths.front();
    paths.pop_front();
    return path;
}

std::optional<std::string> ScriptedDialogs::OpenFile(const FileDialogRequest& request)
{
    fileRequests.push_back(request);
    return NextPath(filePaths);
}

std::optional<std::string> ScriptedDialogs::SaveFile(const FileDialogRequest& request)
{
    fileRequests.push_back(request);
    return NextPath(filePaths);
}
