#include "program_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

const char* KorvadexPath() {
    const char* program = std::getenv("KORVADEX_TEST_PROGRAM");
    return program != nullptr && *program != '\0' ? program : KORVADEX_EXE;
}

const char* KorvadexLauncher() {
    const char* launcher = std::getenv("KORVADEX_TEST_LAUNCHER");
    return launcher != nullptr ? launcher : "";
}

std::string KorvadexCommand() {
    const std::string program = std::string("'") + KorvadexPath() + "'";
    return *KorvadexLauncher() != '\0' ? std::string("'") + KorvadexLauncher() + "' " + program
                                       : program;
}

bool UnderWine() {
    return *KorvadexLauncher() != '\0';
}

RunResult RunKorvadex(const std::vector<std::string>& args, const RunOptions& options) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) std::abort();
    std::vector<char*> argv;
    if (UnderWine()) argv.push_back(const_cast<char*>(KorvadexLauncher()));
    argv.push_back(const_cast<char*>(KorvadexPath()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) std::abort();
    if (pid == 0) {
        if (!options.inputFile.empty() || options.closedInput) {
            int fd = open(options.closedInput ? "/dev/null" : options.inputFile.c_str(), O_RDONLY);
            if (fd < 0) _exit(127);
            dup2(fd, 0);
        } else {
            dup2(in[0], 0);
        }
        if (!options.outputFile.empty()) {
            int fd = open(options.outputFile.c_str(), O_WRONLY);
            if (fd < 0) _exit(127);
            dup2(fd, 1);
        } else {
            dup2(out[1], 1);
        }
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        for (const std::string& entry : options.environment) {
            putenv(const_cast<char*>(entry.c_str()));
        }
        if (!options.directory.empty() && chdir(options.directory.c_str()) != 0) _exit(127);
        if (options.addressSpace != 0) {
            struct rlimit limit = {options.addressSpace, options.addressSpace};
            setrlimit(RLIMIT_AS, &limit);
        }
        if (options.user != 0 && (setgroups(0, nullptr) != 0 || setgid(options.user) != 0 ||
                                  setuid(options.user) != 0)) {
            _exit(kCannotSwitchUser);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);

    // Feed standard input and drain both outputs together, so that neither side blocks.
    signal(SIGPIPE, SIG_IGN);
    RunResult result;
    size_t fed = 0;
    int inFd = in[1];
    if (options.input.empty()) {
        close(inFd);
        inFd = -1;
    }
    if (options.inputDelayMs != 0) usleep(useconds_t(options.inputDelayMs) * 1000);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen || inFd >= 0) {
        struct pollfd fds[3];
        nfds_t n = 0;
        if (outOpen) fds[n++] = {out[0], POLLIN, 0};
        if (errOpen) fds[n++] = {err[0], POLLIN, 0};
        if (inFd >= 0) fds[n++] = {inFd, POLLOUT, 0};
        if (poll(fds, n, -1) < 0) {
            if (errno == EINTR) continue;
            std::abort();
        }
        for (nfds_t i = 0; i < n; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == inFd) {
                ssize_t w = write(inFd, options.input.data() + fed, options.input.size() - fed);
                if (w > 0) fed += size_t(w);
                if (w < 0 || fed == options.input.size()) {
                    close(inFd);
                    inFd = -1;
                }
                continue;
            }
            char buffer[65536];
            ssize_t r = read(fds[i].fd, buffer, sizeof buffer);
            if (r > 0) {
                (fds[i].fd == out[0] ? result.out : result.err).append(buffer, size_t(r));
            } else if (r == 0 || errno != EINTR) {
                (fds[i].fd == out[0] ? outOpen : errOpen) = false;
            }
        }
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}
