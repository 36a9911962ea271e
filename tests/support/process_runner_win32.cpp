// RunProcess on Windows: CreateProcessW with inherited pipe and file handles.
// The child's code page is the system's ANSI code page, whatever
// RunOptions::locale says (Windows has no locale per process to set).
#include <windows.h>

#include <stdexcept>

#include "process_runner.h"

namespace kavrel::test {

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

// One argument as the C runtime's parser reads it back: quoted, with the
// backslashes before a quote (and before the closing quote) doubled.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

// A handle the child inherits, closed when it goes out of scope.
struct Handle {
  HANDLE h = nullptr;
  Handle() = default;
  explicit Handle(HANDLE handle) : h(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  void Close() {
    if (h != nullptr) CloseHandle(h);
    h = nullptr;
  }
};

SECURITY_ATTRIBUTES Inherited() {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
  attributes.bInheritHandle = TRUE;
  return attributes;
}

HANDLE OpenInherited(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES attributes = Inherited();
  return CreateFileW(Wide(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &attributes,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(HANDLE handle) {
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

ProcessResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workDir, const RunOptions& options, bool captureError) {
  SECURITY_ATTRIBUTES attributes = Inherited();
  Handle outputRead, outputWrite;
  if (!CreatePipe(&outputRead.h, &outputWrite.h, &attributes, 0)) throw std::runtime_error("CreatePipe failed");
  SetHandleInformation(outputRead.h, HANDLE_FLAG_INHERIT, 0);
  if (options.mode == StandardOutput::kClosedPipe) outputRead.Close();

  Handle outputFile;
  if (options.mode != StandardOutput::kClosed && !options.standardOutputFile.empty()) {
    outputFile.h = OpenInherited(options.standardOutputFile, true);
    if (outputFile.h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + options.standardOutputFile);
  }
  Handle inputFile;
  if (!options.standardInputFile.empty()) {
    inputFile.h = OpenInherited(options.standardInputFile, false);
    if (inputFile.h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + options.standardInputFile);
  }
  // Standard error goes to a file of its own, read back when the child ended.
  wchar_t folder[MAX_PATH + 1];
  wchar_t errorPath[MAX_PATH + 1];
  Handle errorFile;
  if (captureError) {
    GetTempPathW(MAX_PATH + 1, folder);
    GetTempFileNameW(folder, L"kvr", 0, errorPath);
    errorFile.h = CreateFileW(errorPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &attributes, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                              nullptr);
    if (errorFile.h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create the standard error file");
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inputFile.h != nullptr ? inputFile.h : GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = options.mode == StandardOutput::kClosed ? nullptr
                       : outputFile.h != nullptr             ? outputFile.h
                                                             : outputWrite.h;
  startup.hStdError = errorFile.h != nullptr ? errorFile.h : GetStdHandle(STD_ERROR_HANDLE);

  std::wstring line;
  AppendQuoted(line, Wide(program));
  for (const std::string& argument : arguments) {
    line += L' ';
    AppendQuoted(line, Wide(argument));
  }
  PROCESS_INFORMATION process{};
  const std::wstring directory = Wide(workDir);
  if (!CreateProcessW(Wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
    return ProcessResult{};
  }
  CloseHandle(process.hThread);
  outputWrite.Close();  // the child holds the only writing end now

  ProcessResult result;
  if (options.mode == StandardOutput::kCaptured && outputRead.h != nullptr) result.output = ReadAll(outputRead.h);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  result.exited = true;
  result.exitStatus = static_cast<int>(status);
  if (errorFile.h != nullptr) {
    SetFilePointer(errorFile.h, 0, nullptr, FILE_BEGIN);
    result.error = ReadAll(errorFile.h);
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
