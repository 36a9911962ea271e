#include "kavrel/output/ordered_pipeline.h"

#include <system_error>
#include <thread>

namespace kavrel::output {

OrderedPipeline::OrderedPipeline(std::size_t slots) : m_done(slots == 0 ? 1 : slots, 0) {}

bool OrderedPipeline::Run(int threads, const PipelineStages& stages) {
  std::vector<std::thread> helpers;
  helpers.reserve(threads > 1 ? static_cast<std::size_t>(threads - 1) : 0);
  for (int i = 1; i < threads; ++i) {
    try {
      helpers.emplace_back([this, &stages] { Serve(stages); });
    } catch (const std::system_error&) {
      break;  // no more threads to be had: those running share the work
    }
  }
  Serve(stages);
  for (std::thread& helper : helpers) helper.join();
  if (m_error) std::rethrow_exception(m_error);
  return !m_stopped;
}

void OrderedPipeline::Serve(const PipelineStages& stages) {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_stopped) {
    // Writing first: it frees a slot, and the oldest item holds up the rest.
    if (CanWrite()) {
      WriteReady(lock, stages);
    } else if (CanRead()) {
      ReadAndWork(lock, stages);
    } else if (m_inputEnded && !m_reading && m_nextWrite == m_nextRead) {
      return;
    } else {
      m_changed.wait(lock);
    }
  }
}

bool OrderedPipeline::CanWrite() const {
  return !m_writing && m_nextWrite < m_nextRead && m_done[m_nextWrite % m_done.size()] != 0;
}

bool OrderedPipeline::CanRead() const {
  return !m_reading && !m_inputEnded && m_nextRead - m_nextWrite < m_done.size();
}

template <typename Call>
bool OrderedPipeline::CallUnlocked(std::unique_lock<std::mutex>& lock, Call&& call) {
  lock.unlock();
  try {
    call();
  } catch (...) {
    lock.lock();
    Stop(std::current_exception());
    return false;
  }
  lock.lock();
  return true;
}

void OrderedPipeline::WriteReady(std::unique_lock<std::mutex>& lock, const PipelineStages& stages) {
  m_writing = true;
  while (!m_stopped && m_nextWrite < m_nextRead && m_done[m_nextWrite % m_done.size()] != 0) {
    const std::size_t slot = m_nextWrite % m_done.size();
    bool written = false;
    if (!CallUnlocked(lock, [&] { written = stages.write(slot); })) break;
    m_done[slot] = 0;
    ++m_nextWrite;
    if (!written) Stop(nullptr);
    m_changed.notify_all();
  }
  m_writing = false;
  m_changed.notify_all();
}

void OrderedPipeline::ReadAndWork(std::unique_lock<std::mutex>& lock, const PipelineStages& stages) {
  m_reading = true;
  const std::size_t slot = m_nextRead % m_done.size();
  ReadOutcome outcome = ReadOutcome::kNothing;
  const bool read = CallUnlocked(lock, [&] { outcome = stages.read(slot); });
  m_reading = false;
  if (!read) return;
  if (outcome != ReadOutcome::kItem) m_inputEnded = true;
  m_changed.notify_all();
  if (outcome == ReadOutcome::kNothing) return;
  ++m_nextRead;
  if (!CallUnlocked(lock, [&] { stages.work(slot); })) return;
  m_done[slot] = 1;
  m_changed.notify_all();
}

void OrderedPipeline::Stop(std::exception_ptr error) {
  if (error && !m_error) m_error = error;
  m_stopped = true;
  m_changed.notify_all();
}

}  // namespace kavrel::output
