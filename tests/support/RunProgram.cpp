#include "support/RunProgram.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                      int timeoutMs, const std::function<int(const ProgramRun&, double)>& interruptWhen)
{
    const auto started = std::chrono::steady_clock::now();
    int interrupts = 0;
    ProgramRun run;
    if (arguments.empty())
        return run;
    int out[2];
    int err[2];
    if (pipe(out) != 0)
        return run;
    if (pipe(err) != 0) {
        close(out[0]);
        close(out[1]);
        return run;
    }
    std::vector<std::string> argumentCopy = arguments;
    std::vector<char*> argv;
    for (auto& argument : argumentCopy)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& change : environment) {
            const auto equals = change.find('=');
            if (equals == std::string::npos)
                unsetenv(change.c_str());
            else
                setenv(change.substr(0, equals).c_str(), change.substr(equals + 1).c_str(), 1);
        }
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(out[1]);
        close(err[0]);
        close(err[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    bool timedOut = false;
    while (pid > 0 && open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        const int wait = interruptWhen ? std::min<int>(50, static_cast<int>(left.count()))
                                       : static_cast<int>(left.count());
        const int ready = poll(fds, 2, wait);
        if (interruptWhen) {
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            if (interrupts < interruptWhen(run, elapsed)) {
                kill(pid, SIGINT);
                ++interrupts;
            }
        }
        if (ready <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& fd : fds)
        if (fd.fd >= 0)
            close(fd.fd);
    if (pid <= 0)
        return run;
    if (timedOut)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!timedOut && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}
