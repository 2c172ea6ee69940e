#include "cli/CliDialogs.h"

#include <filesystem>

#include "core/Paths.h"

namespace {

std::string OneLine(const std::string& text)
{
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            line += " | ";
            ++i;
        } else {
            line += text[i];
        }
    }
    return line;
}

bool IsQuestion(MsgButtons buttons)
{
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel || buttons == MsgButtons::OkCancel;
}

MsgAnswer Refusal(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::YesNo: return MsgAnswer::No;
    case MsgButtons::YesNoCancel:
    case MsgButtons::OkCancel: return MsgAnswer::Cancel;
    case MsgButtons::Ok: break;
    }
    return MsgAnswer::Ok;
}

}  // namespace

MsgAnswer CliDialogs::Message(MsgIcon, const std::string& title, const std::string& text, MsgButtons buttons)
{
    const std::string shown = "[" + title + "] " + OneLine(text);
    messages_.push_back(shown);
    log_.PrintLine(shown);
    if (!IsQuestion(buttons))
        return MsgAnswer::Ok;
    const auto answer = answers_.find(title);
    if (answer != answers_.end())
        return answer->second;
    refused_.push_back(title);
    return Refusal(buttons);
}

std::optional<std::string> CliDialogs::OpenFile(const FileDialogRequest&)
{
    return openPath_;
}

std::optional<std::string> CliDialogs::SaveFile(const FileDialogRequest& request)
{
    // A folder takes the name the window would propose.
    std::error_code error;
    if (savePath_ && std::filesystem::is_directory(*savePath_, error))
        return JoinPath(*savePath_, FileNameOfPath(request.suggestedName));
    return savePath_;
}
