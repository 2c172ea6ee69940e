#include "link/Identify.h"

#include "core/ResultCodes.h"
#include "link/Commands.h"

Identified OpenAndIdentify(SerialLink& link)
{
    Identified identified;
    identified.code = link.InitSeriale(link.CommPortNumber, link.BaudText);
    identified.portOpened = identified.code == code::kOk;
    if (identified.portOpened)
        identified.code = ReadInstrumentInfo(link, identified.info);
    return identified;
}

std::string SerialErrorText(SerialErrorLayout layout)
{
    return std::string(" Serial error !!") + kCrLf + (layout == SerialErrorLayout::BlankLine ? kCrLf : "") +
           "  Check connection.";
}
