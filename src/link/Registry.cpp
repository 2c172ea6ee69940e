#include "link/Registry.h"

#include <algorithm>

const std::vector<std::string>& FirmwareTargets()
{
    static const std::vector<std::string> targets{
        "QSLUM",    "QS408t",   "QMX-ARN",  "VERTAPROB611", "BRISKCHK",     "VERTA708",    "VERTA710",
        "ULTRAVERTAs", "QMX-ARN+", "ZJ55391", "ZJ55392",    "ZJ55393",      "QSVERIFs-MAX", "QSVERIFs-MIN"};
    return targets;
}

const std::vector<ParamFamily>& ParamFamilies()
{
    static const std::vector<ParamFamily> families{{"31400 QMX, VERTA", 204}, {"31420 QS-LUMPROB", 155}};
    return families;
}

const std::vector<std::string>& KnownDeviceNames()
{
    static const std::vector<std::string> names{"QSLUM",   "QS408t",  "QMX-ARN", "QMX-ARN+", "BRSKCHK",
                                                "VRTA708", "VRTA709", "VRTA710", "VRTA611",  "ULTVRTS",
                                                "GRP4917", "ZJ553903", "QSVRFMAX"};
    return names;
}

static bool Contains(const std::vector<std::string>& list, const std::string& name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

bool IsRecordCountParam26Device(const std::string& name)
{
    static const std::vector<std::string> group{"QSLUM", "QS408t", "QSVRFMAX"};
    return Contains(group, name);
}

bool IsRecordCountParam146Device(const std::string& name)
{
    static const std::vector<std::string> group{"QMX-ARN", "BRSKCHK", "VRTA708", "VRTA709", "VRTA710",
                                                "VRTA611", "ULTVRTS", "QMX-ARN+", "GRP4917"};
    return Contains(group, name);
}
