#include "service/ServiceOperations.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "core/Paths.h"
#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "memory/ImageFileWriter.h"
#include "service/CalibrationDate.h"
#include "service/RegisterFile.h"
#include "service/ServicePanel.h"
#include "service/WifiCommands.h"
#include "service/WifiValues.h"

namespace {

// Ends an operation that stops without a word.
constexpr int kQuietEnd = code::kRefused;

// Closes the port on every way out.
class PortCloser {
public:
    explicit PortCloser(SerialLink& link) : link_(link) {}
    ~PortCloser() { link_.CloseSeriale(); }
    PortCloser(const PortCloser&) = delete;
    PortCloser& operator=(const PortCloser&) = delete;

private:
    SerialLink& link_;
};

std::string SerialErrorText()
{
    return std::string(" Serial error !!") + kCrLf + kCrLf + "  Check connection.";
}

// The module's NAK, not-OK or busy answer.
bool IsRefusal(int code)
{
    return code == code::kNak || code == code::kNotOk || code == code::kBusy;
}

// A refusal speaks for itself; any other failure shows what came back.
bool ShowsReceivedBytes(int code)
{
    return code >= 1 && !IsRefusal(code);
}

void AppendReceived(ServiceView& view, const std::string& hex)
{
    view.AppendLog(std::string(kCrLf) + "Rx: " + hex);
}

// Two spellings, as the instrument's service texts have always had them.
std::string NotAvailableText(const InstrumentInfo& info)
{
    return "Wifi not available for " + info.Name + " device";
}

std::string NotAvalableText(const InstrumentInfo& info)
{
    return "Wifi not avalable for " + info.Name + " device";
}

int SelectedRegister(const ServiceView& view)
{
    return RegisterNumberOfEntry(view.SecondListText());
}

bool Quitting(ServiceContext& context)
{
    return context.link.host().Quitting();
}

std::optional<Bytes> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    Bytes content;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        content.insert(content.end(), buffer, buffer + in.gcount());
        if (content.size() > kMaxRegisterFileSize)
            return std::nullopt;
    }
    if (in.bad())
        return std::nullopt;
    return content;
}

std::filesystem::path FsPath(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A name beside `path` that no file has yet.
std::string FreeNameBeside(const std::string& path)
{
    std::error_code ignored;
    std::string candidate = path + ".tmp";
    for (int n = 1; std::filesystem::exists(FsPath(candidate), ignored) && n < 1000; ++n)
        candidate = path + ".tmp" + std::to_string(n);
    return candidate;
}

// Read-all writes a new register file beside the chosen one and puts it in its place only when
// every register is in it: the proposed name is the same for every backup of a module, and a run
// that fails (module off, disk full, window closed) must not cost the earlier backup. Whatever is
// not put in place is removed.
class RegisterFileWriter {
public:
    explicit RegisterFileWriter(std::string path) : path_(std::move(path)), temporary_(FreeNameBeside(path_)) {}
    ~RegisterFileWriter() { Discard(); }
    RegisterFileWriter(const RegisterFileWriter&) = delete;
    RegisterFileWriter& operator=(const RegisterFileWriter&) = delete;

    bool Create() { return file_.Create(temporary_); }
    bool Append(const std::string& utf8Line)
    {
        const auto bytes = TextToLatin1(utf8Line);
        if (!bytes) {
            why_ = "a character that has no single byte";
            return false;
        }
        if (!file_.Append(bytes->data(), bytes->size()))
            return Failed(file_.Error().description);
        return true;
    }
    // Closes the new file and puts it in place of the chosen one.
    bool Commit()
    {
        if (!file_.Close())
            return Failed(file_.Error().description);
        std::error_code error;
        std::filesystem::rename(FsPath(temporary_), FsPath(path_), error);
        if (error)
            return Failed(error.message());
        committed_ = true;
        return true;
    }
    // "ERROR writing file <path>", CR LF, "  " and why.
    std::string FailureText() const { return "ERROR writing file " + path_ + kCrLf + "  " + why_; }

private:
    bool Failed(const std::string& why)
    {
        why_ = why;
        return false;
    }
    void Discard()
    {
        if (committed_)
            return;
        file_.Close();
        std::error_code ignored;
        std::filesystem::remove(FsPath(temporary_), ignored);
    }

    std::string path_;
    std::string temporary_;
    ImageFileWriter file_;
    std::string why_;
    bool committed_ = false;
};

int FileNotWritten(ServiceView& view, const RegisterFileWriter& file)
{
    view.SetLog(file.FailureText());
    return code::kFileNotWritten;
}

// A value that holds a line end cannot be kept on one line of the file.
bool FitsOneLine(const std::string& value)
{
    return value.find_first_of("\r\n") == std::string::npos;
}

}  // namespace

int RunServiceButton(ServiceContext& context, ServiceView& view, ServiceButton button)
{
    SerialLink& link = context.link;
    view.SetLog("");
    PortCloser closer(link);
    link.InitSeriale(link.CommPortNumber, link.BaudText);
    InstrumentInfo info;
    const int identified = ReadInstrumentInfo(link, info);
    if (identified != code::kOk) {
        view.SetLog(SerialErrorText());
        return identified;
    }
    const std::string command = view.Command();
    const bool get = button == ServiceButton::Get;
    if (command == kWifiRegisterCommand) {
        const int entry = view.SecondListIndex();
        if (entry < 0)
            return kQuietEnd;
        if (entry == 0)
            return get ? ReadAllRegisters(context, view, info) : WriteAllRegisters(context, view, info);
        return get ? ReadOneRegister(context, view, info) : WriteOneRegister(context, view, info);
    }
    if (command == kWifiSettingCommand)
        return get ? code::kOk : SwitchWifiModule(context, view, info);
    if (command == kCalibrationDateCommand) {
        return get ? GetCalibrationDate(link, context.catalogue, info, view)
                   : SetCalibrationDate(link, context.dialogs, context.catalogue, info, view);
    }
    return code::kOk;
}

int ReadOneRegister(ServiceContext& context, ServiceView& view, const InstrumentInfo& info)
{
    if (!IsWifiDevice(info)) {
        view.SetLog(NotAvalableText(info));
        return code::kRefused;
    }
    const int n = SelectedRegister(view);
    WifiRegisterSet record;
    const int code = WifiReadRegister(context.link, n, record);
    if (code == code::kOk && n == wifireg::kFunctions)
        view.SetFunctionBoxes(FunctionBoxesOf(record.ModuleFunctions));
    if (view.ValueBoxShown())
        view.SetValueBoxText(record.ValueText);
    view.SetLog(record.ReplyText);
    if (ShowsReceivedBytes(code))
        AppendReceived(view, record.RxHex);
    return code;
}

int WriteOneRegister(ServiceContext& context, ServiceView& view, const InstrumentInfo& info)
{
    if (!IsWifiDevice(info)) {
        view.SetLog(NotAvailableText(info));
        return code::kRefused;
    }
    const int n = SelectedRegister(view);
    const std::string text = WithoutBlanks(view.ValueBoxText());
    view.SetValueBoxText(text);
    // The functions come from their boxes; a reboot carries no value.
    if (text.empty() && n != wifireg::kFunctions && n != wifireg::kReboot) {
        view.SetLog(" stringa VUOTA !!");
        return code::kRefused;
    }
    WifiRegisterSet record;
    const RegisterValueCheck check = CheckRegisterValue(n, text, view.FunctionBoxes(), record);
    if (check.boxText)
        view.SetValueBoxText(*check.boxText);
    if (check.outcome == RegisterValueCheck::Outcome::Refused) {
        view.AppendLog(check.logText + "nessuna scrittura ai registri");
        return code::kRefused;
    }
    if (check.outcome == RegisterValueCheck::Outcome::Unencodable ||
        BuildRegisterPayload(n, record).status == RegisterPayload::Status::Unencodable)
        return kQuietEnd;
    const int code = WifiWriteRegister(context.link, n, record);
    // A refused write is said as a refused read is: it must not look like a success.
    view.SetLog(IsRefusal(code) ? record.ReplyText : record.ValueText);
    if (ShowsReceivedBytes(code))
        AppendReceived(view, record.RxHex);
    return code;
}

int SwitchWifiModule(ServiceContext& context, ServiceView& view, const InstrumentInfo& info)
{
    if (!IsWifiDevice(info)) {
        view.SetLog(NotAvalableText(info));
        return code::kRefused;
    }
    const int state = view.SecondListIndex();
    if (state < 0 || state > kModuleOn)
        return kQuietEnd;
    view.SetLog("... wait ...");
    view.RefreshLog();
    std::string message;
    SerialLink& link = context.link;
    const int code = WifiCommand(link, state, message);
    view.SetLog(message);
    if (ShowsReceivedBytes(code))
        AppendReceived(view, BytesToHex(link.Rx.RxBuffer, static_cast<std::size_t>(std::max(link.Rx.RxCount, 0))));
    return code;
}

int ReadAllRegisters(ServiceContext& context, ServiceView& view, const InstrumentInfo& info)
{
    if (!IsWifiDevice(info)) {
        view.SetLog(NotAvalableText(info));
        return code::kRefused;
    }
    FileDialogRequest request;
    request.folder = context.appFolder;
    request.filter = "WiFi register file (*.txt)| *.txt";
    request.suggestedName = RegisterFileName(info);
    request.confirmOverwrite = true;
    const auto path = context.dialogs.SaveFile(request);
    if (!path || path->empty())
        return kQuietEnd;
    RegisterFileWriter file(*path);
    if (!file.Create())
        return kQuietEnd;
    if (!file.Append(RegisterFileHeader(info, context.link.host().LocalNow())))
        return FileNotWritten(view, file);

    WifiRegisterSet record;
    for (const int n : RegisterFileOrder()) {
        if (Quitting(context))
            return kQuietEnd;
        int code = WifiReadRegister(context.link, n, record);
        if (code == code::kOk && !FitsOneLine(record.ValueText))
            code = code::kMalformed;
        if (code != code::kOk) {
            view.SetLog("ERROR reading register " + HexNumber(n) + "h");
            return code;
        }
        if (n == wifireg::kFunctions)
            view.SetFunctionBoxes(FunctionBoxesOf(record.ModuleFunctions));
        if (!file.Append(RegisterFileLine(n, record.ValueText)))
            return FileNotWritten(view, file);
        view.SetLog("Reading register " + HexNumber(n) + "h");
        view.RefreshLog();
    }
    if (!file.Commit())
        return FileNotWritten(view, file);
    view.SetLog(std::string("Saved WiFi registers") + kCrLf + ToUpperAscii(FileNameOfPath(*path)));
    return code::kOk;
}

int WriteAllRegisters(ServiceContext& context, ServiceView& view, const InstrumentInfo& info)
{
    if (!IsWifiDevice(info)) {
        view.SetLog(NotAvailableText(info));
        return code::kRefused;
    }
    FileDialogRequest request;
    request.folder = context.appFolder;
    request.filter = "Wifi register file (*_wifi.txt)| *_wifi.txt";
    const auto path = context.dialogs.OpenFile(request);
    if (!path || path->empty())
        return kQuietEnd;
    const auto content = ReadWholeFile(*path);
    if (!content)
        return kQuietEnd;

    // Every line is checked before the first is sent: a file with a line that cannot be sent
    // changes nothing in the module, and the log says which line it is.
    std::vector<RegisterFileEntry> writes;
    const std::vector<std::string> lines = RegisterFileLines(*content);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        RegisterFileEntry entry = ParseRegisterFileLine(lines[i]);
        if (entry.kind == RegisterFileEntry::Kind::Unencodable) {
            view.SetLog("Line " + std::to_string(i + 1) + ", register " + HexNumber2(entry.n) + "h: " + entry.why +
                        kCrLf + "nessuna scrittura ai registri");
            return code::kRefused;
        }
        if (entry.kind == RegisterFileEntry::Kind::Write)
            writes.push_back(std::move(entry));
    }

    int code = code::kOk;
    int count = 0;
    for (const RegisterFileEntry& entry : writes) {
        if (Quitting(context))
            return kQuietEnd;
        std::string message;
        code = WifiWriteValues(context.link, entry.n, entry.values, message);
        ++count;
        view.SetLog("Writing register " + HexNumber(entry.n) + "h");
        view.RefreshLog();
        if (code != code::kOk)
            return code;
    }
    view.SetLog("Write #" + std::to_string(count) + " WiFi registers");
    return code::kOk;
}
