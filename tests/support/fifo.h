// A FIFO for tests of programs that must refuse one rather than wait on it.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kavrel::test {

// Makes a FIFO at `path` (failing the current test when it cannot) and keeps
// it until destroyed. Should a reader still wait in open() for a writer after
// two seconds, a writer opens the FIFO and closes it at once, so that the
// reader sees an empty stream and the test fails instead of hanging.
class FifoWithoutWriter {
public:
  explicit FifoWithoutWriter(std::string path);
  ~FifoWithoutWriter();
  FifoWithoutWriter(const FifoWithoutWriter&) = delete;
  FifoWithoutWriter& operator=(const FifoWithoutWriter&) = delete;

  // True once the writer had to release a waiting reader.
  bool ReleasedAWaitingReader();

private:
  std::string m_path;
  std::mutex m_mutex;
  std::condition_variable m_done;
  bool m_ending = false;
  bool m_released = false;
  std::thread m_writer;
};

}  // namespace kavrel::test
