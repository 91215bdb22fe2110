#pragma once
// Runs a check with the rights of an ordinary user. The superuser may write
// any file, so a test of what a user may not do runs as "nobody" in a child
// process; anyone else runs it in place.

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace kvtest {

constexpr unsigned kNobody = 65534;

enum class AsUser { Passed, Failed, CannotDropRights };

inline AsUser RunAsOrdinaryUser(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check() ? AsUser::Passed : AsUser::Failed;
    const pid_t child = ::fork();
    if (child < 0) return AsUser::CannotDropRights;
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(77);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return AsUser::Failed;
    if (WEXITSTATUS(status) == 77) return AsUser::CannotDropRights;
    return WEXITSTATUS(status) == 0 ? AsUser::Passed : AsUser::Failed;
}

}  // namespace kvtest
