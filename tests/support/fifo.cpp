#include "fifo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <utility>

namespace kavrel::test {

FifoWithoutWriter::FifoWithoutWriter(std::string path) : m_path(std::move(path)) {
  if (::mkfifo(m_path.c_str(), 0600) != 0) ADD_FAILURE() << "cannot make a FIFO at " << m_path;
  m_writer = std::thread([this] {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_done.wait_for(lock, std::chrono::seconds(2), [this] { return m_ending; })) return;
    // Succeeds only while a reader has the FIFO open or waits to.
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      m_released = true;
      ::close(fd);
    }
  });
}

FifoWithoutWriter::~FifoWithoutWriter() {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_ending = true;
  }
  m_done.notify_all();
  m_writer.join();
  std::remove(m_path.c_str());
}

bool FifoWithoutWriter::ReleasedAWaitingReader() {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return m_released;
}

}  // namespace kavrel::test
