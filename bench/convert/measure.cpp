// bench_measure RESULT_FILE COMMAND [ARGS...]: runs COMMAND (its output passes through)
// and writes "SECONDS PEAK_KB EXIT_STATUS CPU_SECONDS" to RESULT_FILE: wall time, the
// child's peak resident memory (getrusage of the waited-for child), its exit status (128 +
// the signal number when a signal ended it) and the processor time it used (user + system;
// on a busy machine the wall time also counts the time it waited for a processor).

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_measure RESULT_FILE COMMAND [ARGS...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("bench_measure: fork");
    return 2;
  }
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    std::perror("bench_measure: exec");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) {
    std::perror("bench_measure: wait");
    return 2;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::perror(argv[1]);
    return 2;
  }
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::fprintf(out, "%.3f %ld %d %.3f\n", seconds, usage.ru_maxrss, exitStatus, cpu);
  std::fclose(out);
  return 0;
}
