#include "platform/linux/DetachedSpawn.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string_view>

extern char** environ;

namespace veska {

bool SpawnDetached(const std::string& path, const std::vector<std::string>& extra) {
    // Everything the children need is made before fork: after it only async-signal-safe calls.
    const char* file = path.c_str();
    char* const argv[] = {const_cast<char*>(file), nullptr};
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view var(*e);
        bool replaced = false;
        for (const std::string& x : extra)
            replaced = replaced || (var.substr(0, var.find('=') + 1) == std::string_view(x).substr(0, x.find('=') + 1));
        if (!replaced) env.push_back(*e);
    }
    for (const std::string& x : extra) env.push_back(const_cast<char*>(x.c_str()));
    env.push_back(nullptr);
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
        ::execve(file, argv, env.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace veska
