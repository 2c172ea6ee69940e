#include "service/ServiceOperations.h"

#include <algorithm>

#include "service/ServiceRun.h"
#include "service/WifiCommands.h"
#include "service/WifiValues.h"

namespace {

// '2' sub-commands.
constexpr int kModuleOffCommand = 0;
constexpr int kModuleOnCommand = 1;

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

std::string ReceivedLine(const std::string& hex)
{
    return std::string(kCrLf) + "Rx: " + hex;
}

std::string RegisterName(int n)
{
    return "register " + HexNumber2(n) + "h";
}

// The register as the register list offers it for Get (or Set); nullptr for any other number.
const WifiRegister* Offered(int n, bool forWriting)
{
    const WifiRegister* reg = FindWifiRegister(n);
    if (!reg || !reg->Listed() || !(forWriting ? reg->Writable() : reg->Readable()))
        return nullptr;
    return reg;
}

}  // namespace

RegisterReadResult ReadRegister(OperationContext& context, const RegisterReadRequest& request)
{
    ServiceRun<RegisterReadResult> run(context);
    if (!run.IdentifyWifi(WifiSpelling::Avalable))
        return run.result;
    const int n = request.number;
    const WifiRegister* reg = Offered(n, false);
    if (!reg)
        return run.Quiet(RegisterName(n) + " is not in the register list for reading");
    WifiRegisterSet record;
    const int code = WifiReadRegister(context.link, n, record);
    if (code == code::kOk && reg->kind == WifiKind::Functions)
        run.result.functions = FunctionBoxesOf(*FieldOf<WifiQuad>(record, n));
    run.result.value = record.ValueText;
    run.result.reply = record.ReplyText;
    run.Show(record.ReplyText);
    if (ShowsReceivedBytes(code))
        run.Append(ReceivedLine(record.RxHex));
    return run.End(code);
}

RegisterWriteResult WriteRegister(OperationContext& context, const RegisterWriteRequest& request)
{
    ServiceRun<RegisterWriteResult> run(context);
    if (!run.IdentifyWifi(WifiSpelling::Available))
        return run.result;
    const int n = request.number;
    const WifiRegister* reg = Offered(n, true);
    if (!reg)
        return run.Quiet(RegisterName(n) + " is not in the register list for writing");
    const std::string text = WithoutBlanks(request.valueText);
    run.result.value = text;
    // The functions come from their boxes; a reboot carries no value.
    if (text.empty() && reg->kind != WifiKind::Functions && reg->kind != WifiKind::Reboot) {
        run.Show(" stringa VUOTA !!");
        return run.End(code::kRefused);
    }
    WifiRegisterSet record;
    const RegisterValueCheck check = CheckRegisterValue(n, text, request.functions, record);
    if (check.boxText)
        run.result.value = *check.boxText;
    if (check.outcome == RegisterValueCheck::Outcome::Refused) {
        run.Append(check.logText + "nessuna scrittura ai registri");
        return run.End(code::kRefused);
    }
    if (check.outcome == RegisterValueCheck::Outcome::Unencodable ||
        BuildRegisterPayload(n, record).status == RegisterPayload::Status::Unencodable)
        return run.Quiet("the value " + text + " cannot be sent to " + RegisterName(n));
    const int code = WifiWriteRegister(context.link, n, record);
    // A refused write is said as a refused read is: it must not look like a success.
    run.Show(IsRefusal(code) ? record.ReplyText : record.ValueText);
    if (ShowsReceivedBytes(code))
        run.Append(ReceivedLine(record.RxHex));
    return run.End(code);
}

ServiceResult SwitchWifiModule(OperationContext& context, const WifiModuleRequest& request)
{
    ServiceRun<ServiceResult> run(context);
    if (!run.IdentifyWifi(WifiSpelling::Avalable))
        return run.result;
    run.Show("... wait ...");
    std::string message;
    SerialLink& link = context.link;
    const int code = WifiCommand(link, request.on ? kModuleOnCommand : kModuleOffCommand, message);
    run.Show(message);
    if (ShowsReceivedBytes(code)) {
        const auto received = static_cast<std::size_t>(std::clamp(link.Rx.RxCount, 0, static_cast<int>(link.Rx.RxBuffer.size())));
        run.Append(ReceivedLine(BytesToHex(link.Rx.RxBuffer, received)));
    }
    return run.End(code);
}
