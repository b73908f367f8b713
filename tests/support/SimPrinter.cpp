#include "support/SimPrinter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

extern char** environ;

#ifndef POSBENCH_PRINTER_PATH
#define POSBENCH_PRINTER_PATH ""
#endif

namespace posbench::test {

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the child to end, at most until the deadline (its process descriptor becomes
// readable when it ends). True when it was reaped.
bool ReapBy(pid_t pid, Clock::time_point deadline, int& status) {
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{pidFd, POLLIN, 0};
    if (pidFd >= 0) ::poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0)));
    if (pidFd >= 0) ::close(pidFd);
    int raw = 0;
    if (::waitpid(pid, &raw, pidFd >= 0 ? WNOHANG : 0) != pid) return false;
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return true;
}

}  // namespace

SimPrinter::SimPrinter(std::vector<std::string> args, std::chrono::milliseconds readyTimeout) {
    const std::string exe = POSBENCH_PRINTER_PATH;  // built with the tests
    if (exe.empty()) throw std::runtime_error("posbench-printer was not built with the tests");
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const int rc = ::posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        pid_ = -1;
        throw std::runtime_error("cannot start " + exe);
    }

    // Read the ready line; the printer writes it only once its endpoint is up.
    std::string line;
    const auto deadline = Clock::now() + readyTimeout;
    bool eof = false;
    while (line.find('\n') == std::string::npos && !eof) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{pipeFds[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char buf[256];
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n <= 0) eof = true;
        else line.append(buf, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    const auto nl = line.find('\n');
    if (nl == std::string::npos || line.rfind("ready ", 0) != 0) {
        const int status = Stop();
        throw std::runtime_error("posbench-printer did not report ready (exit status " +
                                 std::to_string(status) + "): " + line);
    }
    ready_ = line.substr(6, nl - 6);
    const auto blank = ready_.find(' ');
    kind_ = ready_.substr(0, blank);
    where_ = blank == std::string::npos ? "" : ready_.substr(blank + 1);
}

SimPrinter::~SimPrinter() { Stop(); }

int SimPrinter::Port() const {
    if (kind_.rfind("tcp", 0) != 0) return 0;
    return std::stoi(where_.substr(where_.rfind(':') + 1));
}

int SimPrinter::Stop() {
    if (pid_ < 0) return status_;
    ::kill(pid_, SIGTERM);
    if (!ReapBy(pid_, Clock::now() + std::chrono::seconds(5), status_)) {
        ::kill(pid_, SIGKILL);
        ReapBy(pid_, Clock::now() + std::chrono::seconds(5), status_);
        status_ = -1;
    }
    pid_ = -1;
    return status_;
}

MediumPrinter StartOnMedium(Medium medium, std::vector<std::string> args,
                            const std::string& where) {
    MediumPrinter started;
    const char* option = medium == Medium::Tcp ? "--listen" : medium == Medium::Pty ? "--pty" : "--fifo";
    args.insert(args.begin(), {option, medium == Medium::Tcp ? "127.0.0.1:0" : where});
    started.printer = std::make_unique<SimPrinter>(args);
    const std::string path = started.printer->Path();
    if (medium == Medium::Tcp) {
        started.communication = "TCP=127.0.0.1:" + std::to_string(started.printer->Port()) + ", ON\n";
    } else if (medium == Medium::Pty) {
        started.communication = "COM1=115200,DTR,ON\n";
        started.devices = "COM1=" + path + "\n";
    } else {
        started.communication = "USB=NATIVE, ON\n";
        started.devices = "USB=" + path + "/to-printer," + path + "/from-printer\n";
    }
    started.startupIni = "[Communication]\n" + started.communication +
                         (started.devices.empty() ? "" : "[Devices]\n" + started.devices);
    return started;
}

}  // namespace posbench::test
