#pragma once

#include <string>

#include "link/Identification.h"
#include "link/SerialLink.h"

// The first step of every instrument operation: open the port with the link's port number and
// speed, then ask the instrument who it is.
struct Identified {
    int code = 0;           // the port's code when it could not be opened, else the identification's
    bool portOpened = false;
    InstrumentInfo info;    // on success; `info.Message` says why it failed otherwise

    bool ok() const { return portOpened && code == 0; }
};
Identified OpenAndIdentify(SerialLink& link);

// " Serial error !!", "  Check connection.": what a tab shows when no instrument answers; the
// Param tab's Read and the memory upload put no blank line between them.
enum class SerialErrorLayout { BlankLine, NoBlankLine };
std::string SerialErrorText(SerialErrorLayout layout = SerialErrorLayout::BlankLine);

// Closes the port on every way out of an operation.
class ClosePortOnExit {
public:
    explicit ClosePortOnExit(SerialLink& link) : link_(link) {}
    ~ClosePortOnExit() { link_.CloseSeriale(); }
    ClosePortOnExit(const ClosePortOnExit&) = delete;
    ClosePortOnExit& operator=(const ClosePortOnExit&) = delete;

private:
    SerialLink& link_;
};
