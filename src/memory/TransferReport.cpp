#include "memory/TransferReport.h"

#include "core/Bytes.h"

void ShowTransferFailure(Dialogs& dialogs, const TransferFailure& failure)
{
    switch (failure.kind) {
    case TransferFailure::Kind::PortMissing:
        dialogs.Message(MsgIcon::Critical, "Routine <cmdFlash>", "Porta seriale non disponibile");
        break;
    case TransferFailure::Kind::Other:
        dialogs.Message(MsgIcon::Critical, "Routine <cmdFlash>",
                        "Error :" + std::to_string(failure.number) + kCrLf + failure.description);
        break;
    case TransferFailure::Kind::Cancelled:
    case TransferFailure::Kind::None:
        break;
    }
}
