#pragma once

#include <string>

#include "core/OperationSink.h"
#include "link/SerialLink.h"

// What an operation runs with: the link (port number and speed already chosen), the sink of its
// log, progress and questions, and the folder its file questions start in.
struct OperationContext {
    SerialLink& link;
    OperationSink& sink;
    std::string appFolder;
};
