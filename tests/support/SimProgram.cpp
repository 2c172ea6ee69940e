#include "support/SimProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {
constexpr int kReadyTimeoutMs = 10000;
}

std::string SimProgram::BinFolder()
{
    if (const char* bin = std::getenv("SERVICETOOL_BIN"))
        return bin;
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().string();
}

SimProgram::SimProgram(const std::vector<std::string>& extraArguments)
{
    char folder[] = "/tmp/servicetool-sim-XXXXXX";
    if (!mkdtemp(folder)) {
        error_ = "no temporary folder";
        return;
    }
    folder_ = folder;
    link_ = folder_ + "/ttyA";
    const std::string program = BinFolder() + "/servicetool-sim";

    std::vector<std::string> arguments{program, "--link", link_};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0) {
        error_ = "no pipe";
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string said;
    while (pid_ > 0 && said.find('\n') == std::string::npos) {
        pollfd fd{out[0], POLLIN, 0};
        if (poll(&fd, 1, kReadyTimeoutMs) <= 0)
            break;
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        said.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    ready_ = said.rfind("servicetool-sim:", 0) == 0;
    if (!ready_)
        error_ = "servicetool-sim did not start (" + program + "): " + said;
}

SimProgram::~SimProgram()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}
