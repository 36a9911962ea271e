// A temporary folder for tests and benchmarks (no GoogleTest needed).
#pragma once

#include <string>
#include <string_view>

namespace kavrel::test {

// A fresh folder under the system's temporary folder, removed with all it
// holds when destroyed. Throws std::runtime_error when it cannot be made.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return m_path; }
  // Path of `name` inside the folder.
  std::string operator/(std::string_view name) const;

private:
  std::string m_path;
};

}  // namespace kavrel::test
