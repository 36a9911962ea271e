// The answer of a batch request, made in runs on several threads while it is
// sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "batch_body.h"
#include "kavrel.h"
#include "reverse_answer.h"
#include "reverse_request.h"

namespace kavrel::serve {

// Rows looked up and formatted at a time: about 180 KB of JSON lines, so
// that a run is still in cache as it is copied out (runs of 2,048 rows sent
// about 7% fewer points per second).
inline constexpr std::size_t kRowsPerLane = 256;

// Runs made beyond one per lane, ahead of the one being sent: a send waits
// whenever the client's socket is full, and the lanes go on meanwhile
// (2 sent 5-8% fewer points per second on loopback, 8 about 3% fewer).
inline constexpr std::size_t kRunsAhead = 16;

// The rows of a batch in the request's format (JSON lines, a JSON array, or
// CSV with its header), made in runs of kRowsPerLane rows. Runs are looked up
// and formatted on `lanes` threads at once (the sending thread one of them)
// while those before them are sent, and sent in row order. Memory stays at
// lanes + kRunsAhead runs' texts whatever the batch size. Not safe to use
// from two threads at once.
class BatchAnswer {
public:
  // Writes one run's text; false stops the answer.
  using Writer = std::function<bool(std::string_view text)>;

  // `handle` (not owned) must stay open while this lives; `lanes` is
  // clamped to 1..KAVREL_MAX_THREADS.
  BatchAnswer(const kavrel_geocoder* handle, const AnswerContext& context, ReverseRequest request,
              BatchPoints points, std::size_t lanes);

  // The number of rows.
  std::size_t Rows() const { return m_points.latitudes.size(); }

  // Looks up and formats the first run, so that a failing lookup can still be
  // answered with its status before the answer starts. KAVREL_SUCCESS, or
  // kavrel_lookup_many's failure (KAVREL_OUT_OF_MEMORY too when the run's
  // memory cannot be had).
  std::int32_t Start();

  // Writes the whole answer through `write`, the first run (Start's) first:
  // the CSV header or the array's brackets included, even for a batch of no
  // rows. Start must have succeeded. False when a write returned false or a
  // later run's lookups failed or ran out of memory (Failure() then tells
  // how), after which nothing more is written: the answer is cut off.
  bool Send(const Writer& write);

  // The failure of the lookups, or KAVREL_SUCCESS.
  std::int32_t Failure() const { return m_failure; }

private:
  // Looks up run `run`'s rows and appends their text to `text`.
  std::int32_t MakeRun(std::size_t run, std::string& text) const;
  // The number of runs: one at least, for the header or brackets.
  std::size_t Runs() const;

  const kavrel_geocoder* m_handle;
  const AnswerContext& m_context;
  ReverseRequest m_request;
  BatchPoints m_points;
  std::size_t m_lanes;
  std::string m_first;  // run 0's text, made by Start
  std::int32_t m_failure = KAVREL_SUCCESS;
};

}  // namespace kavrel::serve
