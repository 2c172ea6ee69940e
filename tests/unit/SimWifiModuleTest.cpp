#include "SimTestHelpers.h"

using namespace simtest;

// The module answers reads with '0' and what it holds, takes writes of each kind, and refuses
// what its registers cannot hold.
TEST(SimWifiModule, ReadsAndWritesByKindOfRegister)
{
    SimInstrument sim({"VRTA710", "00001234", "1.051.02  0314"});
    const std::vector<std::pair<Bytes, Bytes>> exchanges{
        {{'1', 0x12}, Acked({'0', 192, 168, 4, 1})},
        {{'1', 0x23}, Acked(Text("0"))},          // an empty password
        {{'1', 0x00}, Status('1')},               // write only
        {{'1', 0x2B}, Status('1')},               // not in its table
        {{'0', 0x09, 4}, Status('0')},            // a mode as a number ...
        {{'1', 0x09}, Acked(Text("04"))},         // ... is kept as its digit
        {{'0', 0x09, 6}, Status('1')},
        {{'0', 0x21, '5'}, Status('0')},
        {{'0', 0x12, 1, 2, 3}, Status('1')},      // four bytes or nothing
        {{'0', 0x03, '9', '6', '0', '0'}, Status('0')},
        {{'0', 0x03, 'x'}, Status('1')},
        {{'0', 0x04, 'v'}, Status('1')},          // read only
        {{'0', 0x00}, Status('0')},               // reboot
        {{'2', 0}, Status('0')},
        {{'1', 0x10}, Status('1')},               // a module switched off refuses ...
        {{'1', 0x11}, Acked(Text("01"))},         // ... a password read in its own way
        {{'0', 0x10, 'a'}, Status('1')},
    };
    for (const auto& [request, answer] : exchanges)
        EXPECT_EQ(AskBytes(sim, request), answer) << BytesToHex(request);
    EXPECT_EQ(sim.Wifi().Reboots(), 1);
    EXPECT_EQ(*sim.WifiRegister(0x21), Text("5"));
    EXPECT_EQ(*sim.WifiRegister(0x03), Text("9600"));
}

TEST(SimWifiModule, AnInstrumentWithoutTheModuleRefusesItsCommands)
{
    SimInstrument without;
    without.Wifi().SetFitted(false);
    for (const Bytes& request : {Bytes{'1', 0x10}, Bytes{'0', 0x10, 'a'}, Bytes{'2', 1}})
        EXPECT_EQ(AskBytes(without, request), kNak) << BytesToHex(request);
    EXPECT_EQ(*without.WifiRegister(0x10), Text("VERTA_AP"));
}
