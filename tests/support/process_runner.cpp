#include "process_runner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace kavrel::test {

namespace {

ProcessResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workDir, const RunOptions& options, bool captureError) {
  const StandardOutput mode = options.mode;
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::string locale = "LC_ALL=" + options.locale;
  std::string localePath = "LOCPATH=" + options.localePath;
  char* envp[] = {locale.data(), options.localePath.empty() ? nullptr : localePath.data(), nullptr};
  // Standard error goes to a nameless file, read back when the child ended.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> errorFile(captureError ? std::tmpfile() : nullptr,
                                                             std::fclose);
  if (captureError && !errorFile) throw std::runtime_error("tmpfile failed");

  if (mode != StandardOutput::kCaptured) ::close(fds[0]);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (mode == StandardOutput::kCaptured) ::close(fds[0]);
    if (mode == StandardOutput::kClosed) {
      ::close(STDOUT_FILENO);
    } else if (!options.standardOutputFile.empty()) {
      const int keep = options.appendToOutputFile ? O_APPEND : O_TRUNC;
      const int fd = ::open(options.standardOutputFile.c_str(), O_WRONLY | O_CREAT | keep, 0644);
      if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) ::_exit(125);
      ::close(fd);
    } else {
      ::dup2(fds[1], STDOUT_FILENO);
    }
    ::close(fds[1]);
    if (!options.standardInputFile.empty()) {
      const int fd = ::open(options.standardInputFile.c_str(), O_RDONLY);
      if (fd < 0 || ::dup2(fd, STDIN_FILENO) < 0) ::_exit(125);
      ::close(fd);
    }
    if (errorFile) ::dup2(::fileno(errorFile.get()), STDERR_FILENO);
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
  struct rusage usage {};
  while (::wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) throw std::runtime_error("wait4 failed");
  }
  result.peakKiB = usage.ru_maxrss;
  result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (WIFEXITED(status)) {
    result.exited = true;
    result.exitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  if (errorFile) {
    std::rewind(errorFile.get());
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, errorFile.get())) > 0) result.error.append(buffer, n);
  }
  return result;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workDir, StandardOutput mode) {
  return RunChild(program, arguments, workDir, RunOptions{mode, "C", "", "", ""}, false);
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workDir, const RunOptions& options) {
  return RunChild(program, arguments, workDir, options, true);
}

}  // namespace kavrel::test
