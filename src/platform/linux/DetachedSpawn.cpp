#include "platform/linux/DetachedSpawn.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

extern char** environ;

namespace veska {

bool SpawnDetached(const std::string& path) {
    // Everything the children need is made before fork: after it only async-signal-safe calls.
    const char* file = path.c_str();
    char* const argv[] = {const_cast<char*>(file), nullptr};
    sigset_t none;
    sigemptyset(&none);

    pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::setsid();
        pid_t grandchild = ::_Fork();
        if (grandchild != 0) ::_exit(0);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        for (int s = 1; s < NSIG; ++s) ::sigaction(s, &dfl, nullptr);  // ignored signals would survive exec
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::closefrom(3);
        ::execve(file, argv, environ);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace veska
