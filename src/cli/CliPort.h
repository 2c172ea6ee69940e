#pragma once

#include <string>

// The port of --port: "COM4", "com4" or "4" is port number 4 of the window's COMM menu (1..15);
// anything else is a device path, opened as the only port. Empty: the saved port.
struct CliPortChoice {
    int number = 1;
    std::string device;  // a device path given as it is; empty for a number
    std::string error;   // why the option was refused
};
CliPortChoice ChooseCliPort(const std::string& option, int savedPort);
