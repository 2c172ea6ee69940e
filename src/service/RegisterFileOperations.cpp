// Read-all and write-all of the Wi-Fi register file.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "core/Files.h"
#include "core/Paths.h"
#include "memory/ImageFileWriter.h"
#include "service/RegisterFile.h"
#include "service/ServiceOperations.h"
#include "service/ServiceRun.h"
#include "service/WifiCommands.h"

namespace {

using Run = ServiceRun<RegisterFileResult>;

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
    // Why Create failed.
    const SystemError& CreateError() const { return file_.Error(); }
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
        if (SystemError error; !PutFileInPlace(temporary_, path_, error))
            return Failed(error.description);
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
        RemoveFile(temporary_);
    }

    std::string path_;
    std::string temporary_;
    ImageFileWriter file_;
    std::string why_;
    bool committed_ = false;
};

RegisterFileResult& FileNotWritten(Run& run, const RegisterFileWriter& file)
{
    run.Show(file.FailureText());
    return run.End(code::kFileNotWritten);
}

// A value that holds a line end cannot be kept on one line of the file.
bool FitsOneLine(const std::string& value)
{
    return value.find_first_of("\r\n") == std::string::npos;
}

Interruption SystemErrorNow()
{
    const int number = errno;
    return {Interruption::Kind::SystemError, number, std::strerror(number)};
}

// The file's bytes; nothing, with why, for a file that cannot be read or is too large to be one.
std::optional<Bytes> ReadWholeFile(const std::string& path, Interruption& why, std::string& reason)
{
    errno = 0;
    std::ifstream in(FsPath(path), std::ios::binary);
    if (!in) {
        why = SystemErrorNow();
        reason = "the register file " + path + " cannot be read: " + why.description;
        return std::nullopt;
    }
    Bytes content;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        content.insert(content.end(), buffer, buffer + in.gcount());
        if (content.size() > kMaxRegisterFileSize) {
            reason = path + " is no register file: it holds more than " + std::to_string(kMaxRegisterFileSize) + " bytes";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        why = SystemErrorNow();
        reason = "the register file " + path + " cannot be read: " + why.description;
        return std::nullopt;
    }
    return content;
}

// The file the technician chose for the question; empty when none was.
std::string ChosenFile(OperationContext& context, const Question& question)
{
    const Answer answer = context.sink.Ask(question);
    return answer.yes() ? answer.path : std::string();
}

RegisterFileResult& NoFileChosen(Run& run)
{
    return run.Quiet("no register file was chosen", {Interruption::Kind::Declined, 0, {}});
}

// Every line is checked before the first is sent: a file with a line that cannot be sent changes
// nothing in the module, and the log says which line it is. Nothing: the run has ended.
std::optional<std::vector<RegisterFileEntry>> WritesOfFile(Run& run, const Bytes& content)
{
    std::vector<RegisterFileEntry> writes;
    const std::vector<std::string> lines = RegisterFileLines(content);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        RegisterFileEntry entry = ParseRegisterFileLine(lines[i]);
        if (entry.kind == RegisterFileEntry::Kind::Unencodable) {
            run.Show("Line " + std::to_string(i + 1) + ", register " + HexNumber2(entry.n) + "h: " + entry.why + kCrLf +
                     "nessuna scrittura ai registri");
            run.End(code::kRefused);
            return std::nullopt;
        }
        if (entry.kind == RegisterFileEntry::Kind::Write)
            writes.push_back(std::move(entry));
    }
    return writes;
}

}  // namespace

RegisterFileResult ReadAllRegisters(OperationContext& context)
{
    Run run(context);
    if (!run.IdentifyWifi(WifiSpelling::Avalable))
        return run.result;
    const InstrumentInfo& info = run.result.instrument;
    const std::string path = ChosenFile(context, question::SaveRegisterFile{context.appFolder, RegisterFileName(info)});
    if (path.empty())
        return NoFileChosen(run);
    run.result.path = path;
    RegisterFileWriter file(path);
    if (!file.Create()) {
        const SystemError& error = file.CreateError();
        return run.Quiet("the register file " + path + " cannot be created: " + error.description,
                         {Interruption::Kind::SystemError, error.number, error.description});
    }
    if (!file.Append(RegisterFileHeader(info, context.link.host().LocalNow())))
        return FileNotWritten(run, file);

    WifiRegisterSet record;
    for (const int n : RegisterFileOrder()) {
        if (run.Stopping())
            return run.Stopped();
        int code = WifiReadRegister(context.link, n, record);
        if (code == code::kOk && !FitsOneLine(record.ValueText))
            code = code::kMalformed;
        if (code != code::kOk) {
            run.result.failedRegister = n;
            run.Show("ERROR reading register " + HexNumber(n) + "h");
            return run.End(code);
        }
        if (FindWifiRegister(n)->kind == WifiKind::Functions)
            run.result.functions = FunctionBoxesOf(*FieldOf<WifiQuad>(record, n));
        if (!file.Append(RegisterFileLine(n, record.ValueText)))
            return FileNotWritten(run, file);
        run.Show("Reading register " + HexNumber(n) + "h");
    }
    if (!file.Commit())
        return FileNotWritten(run, file);
    run.Show(std::string("Saved WiFi registers") + kCrLf + ToUpperAscii(FileNameOfPath(path)));
    return run.End(code::kOk);
}

RegisterFileResult WriteAllRegisters(OperationContext& context)
{
    Run run(context);
    if (!run.IdentifyWifi(WifiSpelling::Available))
        return run.result;
    const std::string path = ChosenFile(context, question::LoadRegisterFile{context.appFolder});
    if (path.empty())
        return NoFileChosen(run);
    run.result.path = path;
    Interruption why;
    std::string reason;
    const auto content = ReadWholeFile(path, why, reason);
    if (!content)
        return run.Quiet(reason, why);
    const auto writes = WritesOfFile(run, *content);
    if (!writes)
        return run.result;

    for (const RegisterFileEntry& entry : *writes) {
        if (run.Stopping())
            return run.Stopped();
        std::string message;
        const int code = WifiWriteValues(context.link, entry.n, entry.values, message);
        run.Show("Writing register " + HexNumber(entry.n) + "h");
        if (code != code::kOk) {
            run.result.failedRegister = entry.n;
            return run.End(code, "writing register " + HexNumber(entry.n) + "h failed: " +
                                     AnswerStatement(context.link, code));
        }
        ++run.result.written;
    }
    run.Show("Write #" + std::to_string(run.result.written) + " WiFi registers");
    return run.End(code::kOk);
}
