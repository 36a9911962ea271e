// A pipeline of three stages over a fixed set of slots: items are read one
// at a time in order, worked on by any number of threads at once, and
// written one at a time in the order they were read.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

namespace kavrel::output {

// What one call of the read stage gave.
enum class ReadOutcome {
  kItem,      // the slot holds an item; more may follow
  kLastItem,  // the slot holds the input's last item
  kNothing,   // the input had ended: the slot holds nothing
};

// The stages of an OrderedPipeline, each called with a slot index in
// [0, slots). The pipeline never has two calls on the same slot at once,
// never two read calls at once and never two write calls at once; a slot
// is read, then worked on, then written, each on whichever thread is free,
// with everything the previous stage did to it visible.
struct PipelineStages {
  std::function<ReadOutcome(std::size_t slot)> read;
  std::function<void(std::size_t slot)> work;
  // False stops the pipeline: nothing more is read or written.
  std::function<bool(std::size_t slot)> write;
};

// Runs PipelineStages on a number of threads in all, the calling thread one
// of them. There are no threads of a stage: each thread reads the next item
// when it may, works on it itself, and then writes whatever items are next
// in order and done, so one thread runs every stage in turn and two or more
// keep each other busy. At most `slots` items are between their read and the
// end of their write, whatever the input's length; the reader waits for the
// oldest one to be written before it reuses its slot. Stages block only in
// their own calls (reading a pipe, writing a full disk).
class OrderedPipeline {
public:
  // `slots`: 1 or more; more than `threads` lets work go on while an item
  // waits for the one before it to be written.
  explicit OrderedPipeline(std::size_t slots);

  // Runs the stages until the input has ended and every item read is
  // written, or until a write returns false. `threads`: threads in all, 1
  // or more (the calling thread and threads - 1 started here; should one
  // fail to start the others do its share). True when every item read was
  // written. An exception thrown by a stage stops the pipeline and is
  // thrown again here once every thread has stopped.
  bool Run(int threads, const PipelineStages& stages);

private:
  // One thread's share: what it can do next, until nothing is left.
  void Serve(const PipelineStages& stages);
  // Writes the items next in order that are done, as long as there are any;
  // called and returns with the lock held.
  void WriteReady(std::unique_lock<std::mutex>& lock, const PipelineStages& stages);
  // Reads the next item into its slot and works on it; called and returns
  // with the lock held.
  void ReadAndWork(std::unique_lock<std::mutex>& lock, const PipelineStages& stages);
  // Runs a stage's `call` with the lock released; false, and the pipeline
  // stopped with the exception, when it threw. Called and returns with the
  // lock held.
  template <typename Call>
  bool CallUnlocked(std::unique_lock<std::mutex>& lock, Call&& call);
  void Stop(std::exception_ptr error);
  bool CanWrite() const;
  bool CanRead() const;

  std::mutex m_mutex;
  std::condition_variable m_changed;  // any of the state below changed
  std::vector<char> m_done;           // per slot: worked on, waiting to be written
  std::uint64_t m_nextRead = 0;       // number of items read
  std::uint64_t m_nextWrite = 0;      // number of items written; slot of item k: k % slots
  bool m_reading = false;
  bool m_writing = false;
  bool m_inputEnded = false;
  bool m_stopped = false;  // a write failed or a stage threw
  std::exception_ptr m_error;
};

}  // namespace kavrel::output
