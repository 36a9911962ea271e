#include "kavrel/output/ordered_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace kavrel::output {
namespace {

// Items 0..count-1 through a pipeline whose stages check what the pipeline
// promises: one read and one write at a time, items written in the order
// read, each worked on before it is written, never more than the slots
// between read and write.
class Counting {
public:
  Counting(std::size_t slots, int count) : m_slots(slots), m_count(count), m_items(slots, -1), m_worked(slots) {}

  PipelineStages Stages() {
    return {
        [this](std::size_t slot) {
          Enter(m_reading, "read");
          const int item = m_nextRead++;
          ReadOutcome outcome = ReadOutcome::kNothing;
          if (item < m_count) {
            m_items[slot] = item;
            m_worked[slot] = false;
            const int inFlight = ++m_inFlight;
            if (inFlight > static_cast<int>(m_slots)) m_overfull = true;
            outcome = item + 1 == m_count ? ReadOutcome::kLastItem : ReadOutcome::kItem;
          }
          Leave(m_reading);
          return outcome;
        },
        [this](std::size_t slot) {
          // Uneven work, so that later items often finish first.
          volatile std::uint64_t sum = 0;
          for (int i = 0; i < (m_items[slot] % 7) * 20000; ++i) sum = sum + static_cast<std::uint64_t>(i);
          m_worked[slot] = true;
        },
        [this](std::size_t slot) {
          Enter(m_writing, "write");
          if (!m_worked[slot]) m_unworked = true;
          m_written.push_back(m_items[slot]);
          --m_inFlight;
          Leave(m_writing);
          return m_failAt < 0 || m_items[slot] != m_failAt;
        },
    };
  }

  std::vector<int> Written() const { return m_written; }
  int Read() const { return m_nextRead; }
  void FailWriteOf(int item) { m_failAt = item; }
  // What went against the pipeline's promises; empty when nothing did.
  std::string Broken() const {
    std::string broken;
    if (m_together) broken += "two calls of one serial stage at once; ";
    if (m_overfull) broken += "more items in flight than slots; ";
    if (m_unworked) broken += "an item written before it was worked on; ";
    return broken;
  }

private:
  void Enter(std::atomic<bool>& stage, const char*) {
    if (stage.exchange(true)) m_together = true;
  }
  void Leave(std::atomic<bool>& stage) { stage = false; }

  const std::size_t m_slots;
  const int m_count;
  int m_nextRead = 0;                   // touched by the read stage only
  std::vector<int> m_items;             // per slot
  std::vector<char> m_worked;           // per slot
  std::vector<int> m_written;           // touched by the write stage only
  int m_failAt = -1;
  std::atomic<int> m_inFlight{0};
  std::atomic<bool> m_reading{false};
  std::atomic<bool> m_writing{false};
  std::atomic<bool> m_together{false};
  std::atomic<bool> m_overfull{false};
  std::atomic<bool> m_unworked{false};
};

std::vector<int> Sequence(int count) {
  std::vector<int> items(count);
  for (int i = 0; i < count; ++i) items[i] = i;
  return items;
}

TEST(OrderedPipeline, WritesEveryItemOnceInTheOrderReadWhateverTheThreads) {
  struct Case {
    int threads;
    std::size_t slots;
    int items;
  };
  const Case cases[] = {{1, 1, 50}, {2, 4, 200}, {3, 2, 200}, {8, 16, 300}, {4, 1, 40}, {2, 4, 0}, {2, 4, 1}};
  for (const Case& c : cases) {
    Counting counting(c.slots, c.items);
    OrderedPipeline pipeline(c.slots);
    EXPECT_TRUE(pipeline.Run(c.threads, counting.Stages()));
    const std::string what = std::to_string(c.threads) + " threads, " + std::to_string(c.slots) + " slots";
    EXPECT_EQ(counting.Written(), Sequence(c.items)) << what;
    EXPECT_EQ(counting.Broken(), "") << what;
  }
}

TEST(OrderedPipeline, AFailedWriteStopsReadingAndWriting) {
  for (const int threads : {1, 2, 4}) {
    Counting counting(4, 1000);
    counting.FailWriteOf(10);
    OrderedPipeline pipeline(4);
    EXPECT_FALSE(pipeline.Run(threads, counting.Stages()));
    EXPECT_EQ(counting.Written(), Sequence(11)) << threads;
    // Reading stops once the slots are full.
    EXPECT_LE(counting.Read(), 11 + 4) << threads;
    EXPECT_EQ(counting.Broken(), "") << threads;
  }
}

TEST(OrderedPipeline, AnExceptionOfAStageIsThrownByRunAfterTheThreadsStop) {
  for (const int threads : {1, 3}) {
    std::atomic<int> written{0};
    int read = 0;
    std::vector<int> items(3);  // per slot
    const PipelineStages stages{
        [&](std::size_t slot) {
          items[slot] = ++read;
          return read < 100 ? ReadOutcome::kItem : ReadOutcome::kLastItem;
        },
        [&](std::size_t slot) {
          if (items[slot] == 20) throw std::runtime_error("no memory");
        },
        [&written](std::size_t) { return ++written > 0; },
    };
    OrderedPipeline pipeline(3);
    EXPECT_THROW(pipeline.Run(threads, stages), std::runtime_error) << threads;
    EXPECT_LT(written.load(), 100) << threads;
  }
}

}  // namespace
}  // namespace kavrel::output
