#include "platform/Console.h"

#include <QCoreApplication>

#include <cstdio>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// after windows.h
#include <io.h>
#include <shellapi.h>
#else
#include <QSocketNotifier>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#endif

#ifdef _WIN32

namespace {

std::string Utf8Of(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back();  // the terminating zero
    return utf8;
}

// The handler runs on a thread of its own; the press is handed to the event loop's thread, where
// the current watcher (if any is left) takes it.
std::function<void()>* g_onPress = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return FALSE;
    QMetaObject::invokeMethod(
        app,
        [] {
            if (g_onPress)
                (*g_onPress)();
        },
        Qt::QueuedConnection);
    return TRUE;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> words;
    for (int i = 1; i < count; ++i)
        words.push_back(Utf8Of(wide[i]));
    LocalFree(wide);
    return words;
}

Console::Console()
{
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!_isatty(_fileno(stderr)) || !GetConsoleMode(error, &mode))
        return;
    savedCodePage_ = GetConsoleOutputCP();
    savedMode_ = mode;
    SetConsoleOutputCP(CP_UTF8);
    terminal_ = SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    CONSOLE_SCREEN_BUFFER_INFO screen;
    if (GetConsoleScreenBufferInfo(error, &screen) && screen.srWindow.Right > screen.srWindow.Left)
        width_ = screen.srWindow.Right - screen.srWindow.Left + 1;
}

Console::~Console()
{
    if (savedCodePage_ == 0)
        return;
    SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), savedMode_);
    SetConsoleOutputCP(savedCodePage_);
}

ConsoleInterrupts::ConsoleInterrupts(std::function<void()> onPress) : onPress_(std::move(onPress))
{
    g_onPress = &onPress_;
    watching_ = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
}

ConsoleInterrupts::~ConsoleInterrupts()
{
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_onPress = nullptr;
}

#else

namespace {

int g_interruptPipe[2] = {-1, -1};

// A signal handler may only write to the pipe; the event loop reads it.
void OnInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_interruptPipe[1], &byte, 1);
}

bool HandleSignals(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

Console::Console()
{
    terminal_ = isatty(STDERR_FILENO) != 0;
    winsize window{};
    if (terminal_ && ioctl(STDERR_FILENO, TIOCGWINSZ, &window) == 0 && window.ws_col > 0)
        width_ = window.ws_col;
}

Console::~Console() = default;

ConsoleInterrupts::ConsoleInterrupts(std::function<void()> onPress) : onPress_(std::move(onPress))
{
    if (pipe2(g_interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    if (!HandleSignals(OnInterrupt)) {
        HandleSignals(SIG_DFL);
        return;
    }
    auto notifier = std::make_unique<QSocketNotifier>(g_interruptPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
        char drained[16];
        while (read(g_interruptPipe[0], drained, sizeof drained) > 0) {
        }
        onPress_();
    });
    notifier_ = std::move(notifier);
    watching_ = true;
}

ConsoleInterrupts::~ConsoleInterrupts()
{
    if (g_interruptPipe[0] < 0)
        return;
    HandleSignals(SIG_DFL);
    notifier_.reset();
    close(g_interruptPipe[0]);
    close(g_interruptPipe[1]);
    g_interruptPipe[0] = g_interruptPipe[1] = -1;
}

#endif
