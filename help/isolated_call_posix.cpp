#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "help/isolated_call.h"

namespace help {

namespace {

constexpr int kChildFailed = 1;

[[noreturn]] void RunChild(const std::function<std::optional<std::string>()>& work, int out,
                           unsigned timeLimitSeconds) {
    // The parent may have caught or ignored the alarm; here it must end the child.
    signal(SIGALRM, SIG_DFL);
    alarm(timeLimitSeconds);
    std::optional<std::string> result;
    try {
        result = work();
    } catch (...) {
        _exit(kChildFailed);
    }
    if (!result) _exit(kChildFailed);
    const char* data = result->data();
    std::size_t left = result->size();
    while (left > 0) {
        const ssize_t written = write(out, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) _exit(kChildFailed);
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    _exit(0);
}

}  // namespace

std::optional<std::string> RunIsolated(const std::function<std::optional<std::string>()>& work,
                                       std::size_t maxBytes, unsigned timeLimitSeconds) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return std::nullopt;
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        close(pipeEnds[0]);
        RunChild(work, pipeEnds[1], timeLimitSeconds);
    }
    close(pipeEnds[1]);

    std::string received;
    bool overrun = false;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (received.size() + static_cast<std::size_t>(got) > maxBytes) {
            overrun = true;
            kill(child, SIGKILL);
            break;
        }
        received.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);

    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return std::nullopt;
    }
    if (overrun || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return received;
}

}  // namespace help
