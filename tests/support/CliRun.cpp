#include "support/CliRun.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/Pty.h"

namespace posbench::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

void Drain(int& fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        close(fd);
        fd = -1;
    }
}

}  // namespace

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
        lines.push_back(text.substr(from, nl - from));
    return lines;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

CliResult RunCli(const std::vector<std::string>& args, const CliRunOptions& how) {
#ifndef POSBENCH_CLI_PATH
    throw std::runtime_error("posbench-cli was not built");
#else
    int outPipe[2], errPipe[2];
    // Close-on-exec: the program must not hold the read ends itself, or closing stdout here
    // would never reach it.
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        if (how.terminal) {
            const int tty = open(how.terminal->SlavePath().c_str(), O_RDWR | O_NOCTTY);
            dup2(tty, STDERR_FILENO);
        } else {
            dup2(errPipe[1], STDERR_FILENO);
        }
        for (const std::string& setting : how.env) putenv(const_cast<char*>(setting.c_str()));
        std::vector<char*> argv{const_cast<char*>(POSBENCH_CLI_PATH)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(POSBENCH_CLI_PATH, argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    int outFd = outPipe[0], errFd = errPipe[0];
    CliResult result;
    bool signalled = false;
    while (outFd >= 0 || errFd >= 0) {
        if (Clock::now() - start > how.limit) {
            kill(pid, SIGKILL);
            break;
        }
        // The terminal is read as it fills: a full one would block the program's progress line.
        const int ttyFd = how.terminal ? how.terminal->MasterFd() : -1;
        pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {ttyFd, POLLIN, 0}};
        if (poll(fds, 3, 100) > 0) {
            if (outFd >= 0 && fds[0].revents) Drain(outFd, result.out);
            if (errFd >= 0 && fds[1].revents) Drain(errFd, result.err);
            if (ttyFd >= 0 && (fds[2].revents & POLLIN)) {
                char buffer[4096];
                const ssize_t n = read(ttyFd, buffer, sizeof buffer);
                if (n > 0) result.err.append(buffer, static_cast<std::size_t>(n));
            }
        }
        if (outFd >= 0 && how.closeOutAfterLines > 0 &&
            static_cast<std::size_t>(std::count(result.out.begin(), result.out.end(), '\n')) >=
                how.closeOutAfterLines) {
            close(outFd);
            outFd = -1;
        }
        if (!signalled && !how.signalAfter.empty() &&
            result.out.find(how.signalAfter) != std::string::npos) {
            kill(pid, how.signal);
            signalled = true;
        }
    }
    if (outFd >= 0) close(outFd);
    if (errFd >= 0) close(errFd);
    int status = 0;
    waitpid(pid, &status, 0);
    result.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (how.terminal) result.err += how.terminal->Read(1 << 20, 200ms);
    return result;
#endif
}

}  // namespace posbench::test
