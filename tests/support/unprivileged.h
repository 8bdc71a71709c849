#pragma once
// Runs a check as a user without special rights. Folders that deny access deny nothing to
// the super-user, so under root the check runs in a child process that has given up its
// rights (user and group "nogroup"/"nobody", 65534); otherwise it runs in place.
// Returns the check's answer (false when the child could not be made).

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace qv::test {

inline bool runUnprivileged(const std::function<bool()>& check) {
  if (::geteuid() != 0) return check();
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    ::_exit(check() ? 0 : 1);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace qv::test
