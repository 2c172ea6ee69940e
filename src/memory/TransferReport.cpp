#include "memory/TransferReport.h"

#include "core/Bytes.h"
#include "core/ResultCodes.h"
#include "link/Commands.h"

std::optional<Notice> TransferFailureNotice(const Interruption& interruption)
{
    switch (interruption.kind) {
    case Interruption::Kind::PortMissing:
        return Notice{MsgIcon::Critical, "Routine <cmdFlash>", "Porta seriale non disponibile"};
    case Interruption::Kind::SystemError:
        return Notice{MsgIcon::Critical, "Routine <cmdFlash>",
                      "Error :" + std::to_string(interruption.number) + kCrLf + interruption.description};
    case Interruption::Kind::None:
    case Interruption::Kind::Declined:
    case Interruption::Kind::Stopped:
        break;
    }
    return std::nullopt;
}

bool TransferRun::Stopping() const
{
    return context_.sink.StopRequested() || context_.link.host().Quitting();
}

void TransferRun::Interrupt(Interruption::Kind kind, int number, const std::string& description)
{
    if (!result_.interruption.happened())
        result_.interruption = {kind, number, description};
}

void TransferRun::PortNotOpened(int code)
{
    const PortOpenResult& error = context_.link.LastOpenError();
    Interrupt(code == code::kPortMissing ? Interruption::Kind::PortMissing : Interruption::Kind::SystemError,
              error.errorNumber, error.description);
}

void TransferRun::End(int code)
{
    result_.code = ResultCodeOf(code);
    if (code == code::kOk)
        return;
    if (const auto notice = TransferFailureNotice(result_.interruption)) {
        result_.reason = notice->text;
        context_.sink.Notify(*notice);
    } else if (said_ && !(result_.interruption.kind == Interruption::Kind::Declined && !result_.reason.empty())) {
        result_.reason = log.Text();
    } else if (result_.reason.empty() && !result_.interruption.happened()) {
        result_.reason = AnswerStatement(context_.link, code);
    }
}
