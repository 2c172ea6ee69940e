#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The console servicetool-cli runs in, on Linux and on Windows.

// The command line's words after the program's name, in UTF-8 (on Windows taken from the wide
// command line: the narrow one holds only what the ANSI code page can).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard error as the log sees it, readied for it while this lives: on Windows the console shows
// UTF-8 and takes escape sequences, and is given back as it was.
class Console {
public:
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // A terminal that draws over a line ("\r", ESC [K).
    bool Terminal() const { return terminal_; }
    // Its columns.
    int Width() const { return width_; }

private:
    bool terminal_ = false;
    int width_ = 80;
#ifdef _WIN32
    unsigned int savedCodePage_ = 0;  // 0: the console was not changed
    unsigned long savedMode_ = 0;
#endif
};

// Ctrl-C reaches `onPress` on the event loop's thread, once per press, while this lives: on Linux
// SIGINT and SIGTERM through a pipe, on Windows Ctrl-C and Ctrl-Break through the console's
// control handler. The program is not ended by them.
class ConsoleInterrupts {
public:
    explicit ConsoleInterrupts(std::function<void()> onPress);
    ~ConsoleInterrupts();
    ConsoleInterrupts(const ConsoleInterrupts&) = delete;
    ConsoleInterrupts& operator=(const ConsoleInterrupts&) = delete;

    // False when the presses cannot be watched (they then end the program as usual).
    bool Watching() const { return watching_; }

private:
    std::function<void()> onPress_;
    std::unique_ptr<QObject> notifier_;
    bool watching_ = false;
};
