#pragma once

// The line speeds the tool opens the port with, as the port's settings text names them.
constexpr const char* kSpeed115200 = "115200";  // the instrument's command protocol
constexpr const char* kSpeed57600 = "57600";    // the Upload tab's default, and the tunnel after 0xD4 0x00
