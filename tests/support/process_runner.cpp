#include "process_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace kavrel::test {

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workDir, StandardOutput mode) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  char environment0[] = "LC_ALL=C";
  char* envp[] = {environment0, nullptr};

  if (mode != StandardOutput::kCaptured) ::close(fds[0]);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (mode == StandardOutput::kCaptured) ::close(fds[0]);
    if (mode == StandardOutput::kClosed) {
      ::close(STDOUT_FILENO);
    } else {
      ::dup2(fds[1], STDOUT_FILENO);
    }
    ::close(fds[1]);
    if (::chdir(workDir.c_str()) != 0) ::_exit(126);
    ::execve(program.c_str(), argv.data(), envp);
    ::_exit(127);
  }
  ::close(fds[1]);

  ProcessResult result;
  if (mode == StandardOutput::kCaptured) {
    char buffer[65536];
    while (true) {
      const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
      if (n > 0) {
        result.output.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        break;
      }
    }
    ::close(fds[0]);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  if (WIFEXITED(status)) {
    result.exited = true;
    result.exitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

}  // namespace kavrel::test
