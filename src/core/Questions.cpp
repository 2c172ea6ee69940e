#include "core/Questions.h"

#include "core/Bytes.h"
#include "core/Paths.h"

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// The EEPROM pair is followed by "|" whether or not the flash pair follows it.
std::string UploadImageFilter(const question::UploadImage& q)
{
    std::string filter;
    if (q.eeprom)
        filter = "File EE2 (*.epr)| *.epr|";
    if (q.flash)
        filter += "File flash (*.fla)| *.fla";
    return filter;
}

}  // namespace

std::optional<FileDialogText> FileDialogOf(const Question& question)
{
    return std::visit(
        Overloaded{
            [](const question::DownloadFolder& q) -> std::optional<FileDialogText> {
                return FileDialogText{{"", q.folder, "Data file | *.*", JoinPath(q.folder, q.suggestedName), true}, true};
            },
            [](const question::UploadImage& q) -> std::optional<FileDialogText> {
                return FileDialogText{{"", q.folder, UploadImageFilter(q), "", false}, false};
            },
            [](const question::SaveRegisterFile& q) -> std::optional<FileDialogText> {
                return FileDialogText{{"", q.folder, "WiFi register file (*.txt)| *.txt", q.suggestedName, true}, true};
            },
            [](const question::LoadRegisterFile& q) -> std::optional<FileDialogText> {
                return FileDialogText{{"", q.folder, "Wifi register file (*_wifi.txt)| *_wifi.txt", "", false}, false};
            },
            [](const auto&) -> std::optional<FileDialogText> { return std::nullopt; },
        },
        question);
}

std::optional<MessageBoxText> MessageBoxOf(const Question& question)
{
    return std::visit(
        Overloaded{
            [](const question::ConfirmWrite&) -> std::optional<MessageBoxText> {
                return MessageBoxText{MsgIcon::Information, "Warning",
                                      std::string("This operation WRITE ") + kCrLf + "  - ALL parameters " + kCrLf +
                                          "  - DATA (flash)" + kCrLf + "inside the device" + kCrLf + kCrLf +
                                          "Continue ?",
                                      MsgButtons::YesNo};
            },
            [](const question::PageNumbers& q) -> std::optional<MessageBoxText> {
                return MessageBoxText{MsgIcon::Information, "PAGE NUMBER WARNING",
                                      "<file>    page numbers " + ZeroPadded(q.imageFirst, 4) + "-" +
                                          ZeroPadded(q.imageLast, 4) + "are different from " + kCrLf +
                                          "<textbox> page numbers " + ZeroPadded(q.fieldFirst, 4) + "-" +
                                          ZeroPadded(q.fieldLast, 4) + kCrLf + kCrLf +
                                          "  YES --> use <file>    page numbers" + kCrLf +
                                          "  NO  --> use <textbox> page numbers",
                                      MsgButtons::YesNoCancel};
            },
            [](const question::Retry&) -> std::optional<MessageBoxText> {
                return MessageBoxText{MsgIcon::Information, "RETRY",
                                      std::string("Max RETRY ! ") + kCrLf + kCrLf + "Continue ?", MsgButtons::YesNo};
            },
            [](const auto&) -> std::optional<MessageBoxText> { return std::nullopt; },
        },
        question);
}
