// The answer of a batch request, made a wave at a time while it is sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "batch_body.h"
#include "kavrel.h"
#include "reverse_answer.h"
#include "reverse_request.h"

namespace kavrel::serve {

// Rows one lane looks up and formats at a time: about 1.5 MB of JSON lines.
inline constexpr std::size_t kRowsPerLane = 2048;

// The rows of a batch in the request's format (JSON lines, a JSON array, or
// CSV with its header), made in waves: a wave looks up and formats up to
// `lanes` runs of kRowsPerLane rows at once, each run on a thread of its own
// (the calling thread takes the first), so that formatting is spread over the
// cores as the lookups are. Memory stays at one wave's texts whatever the
// batch size. Not safe to use from two threads at once.
class BatchAnswer {
public:
  // `handle` (not owned) must stay open while this lives; `lanes` is
  // clamped to 1..KAVREL_MAX_THREADS.
  BatchAnswer(const kavrel_geocoder* handle, const AnswerContext& context, ReverseRequest request,
              BatchPoints points, std::size_t lanes);

  // The number of rows.
  std::size_t Rows() const { return m_points.latitudes.size(); }

  // Makes the next wave. KAVREL_SUCCESS, or the first failure of its
  // lookups (kavrel_lookup_many's codes; KAVREL_OUT_OF_MEMORY when a thread
  // cannot be started), after which nothing more is made.
  std::int32_t MakeWave();

  // Gives the next run's text, in row order, in `text` (valid until the next
  // call), making the next wave first when the last one has been given.
  // Returns what MakeWave returned for it; once Finished, an empty text.
  std::int32_t Next(std::string_view& text);

  // True once every row's text has been given by Next: the CSV header or
  // the array's brackets included, even for a batch of no rows.
  bool Finished() const;

private:
  // Looks up the rows [begin, end) and appends their text to `text`.
  std::int32_t MakeRun(std::size_t begin, std::size_t end, std::string& text) const;

  const kavrel_geocoder* m_handle;
  const AnswerContext& m_context;
  ReverseRequest m_request;
  BatchPoints m_points;
  std::size_t m_lanes;
  std::size_t m_next = 0;  // the first row of the next wave
  bool m_made = false;     // a wave has been made
  std::int32_t m_failure = KAVREL_SUCCESS;
  std::vector<std::string> m_texts;  // the last wave's runs
  std::size_t m_given = 0;           // runs of the last wave given by Next
};

}  // namespace kavrel::serve
