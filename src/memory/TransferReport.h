#pragma once

#include "core/Dialogs.h"
#include "memory/DownMemView.h"

// The message box of a transfer that ended through an unexpected failure (none for a cancelled
// dialog): "Porta seriale non disponibile" for a port that does not exist, else the error's number
// and text.
void ShowTransferFailure(Dialogs& dialogs, const TransferFailure& failure);
