#include "batch_answer.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "kavrel/output/ordered_pipeline.h"

namespace kavrel::serve {

BatchAnswer::BatchAnswer(const kavrel_geocoder* handle, const AnswerContext& context, ReverseRequest request,
                         BatchPoints points, std::size_t lanes)
    : m_handle(handle), m_context(context), m_request(std::move(request)), m_points(std::move(points)),
      m_lanes(std::clamp<std::size_t>(lanes, 1, KAVREL_MAX_THREADS)) {}

std::size_t BatchAnswer::Runs() const { return std::max<std::size_t>(1, (Rows() + kRowsPerLane - 1) / kRowsPerLane); }

std::int32_t BatchAnswer::MakeRun(std::size_t run, std::string& text) const {
  const std::size_t begin = std::min(Rows(), run * kRowsPerLane);
  const std::size_t count = std::min(Rows(), begin + kRowsPerLane) - begin;
  std::vector<kavrel_answer> answers(count);
  std::vector<std::int32_t> results(count);
  if (count > 0) {
    // One thread per run: the pipeline already spreads the runs over the cores.
    const std::int32_t status =
        kavrel_lookup_many(m_handle, count, &m_points.latitudes[begin], &m_points.longitudes[begin],
                           &m_request.query, 1, answers.data(), results.data());
    if (status != KAVREL_SUCCESS) return status;
  }
  const AnswerFormat format = m_request.format;
  // The CSV header and the array's '[' come before row 0, its ']' after the last.
  if (run == 0 && format == AnswerFormat::kCsv) text += kCsvHeader;
  if (run == 0 && format == AnswerFormat::kJson) text.push_back('[');
  constexpr std::size_t kAhead = 4;
  for (std::size_t i = 0; i < count; ++i) {
    // Area names are many and seldom in cache: asked for a few rows ahead.
    if (i + kAhead < count && results[i + kAhead] == KAVREL_SUCCESS) __builtin_prefetch(answers[i + kAhead].area);
    const bool found = results[i] == KAVREL_SUCCESS;
    if (format == AnswerFormat::kCsv) {
      AppendCsvRow(text, m_points.latitudes[begin + i], m_points.longitudes[begin + i],
                   found ? &answers[i] : nullptr);
      continue;
    }
    if (begin + i > 0 && format == AnswerFormat::kJson) text.push_back(',');
    if (found) {
      AppendAnswer(text, m_context, AnswerFormat::kJson, m_request.detail, answers[i]);
    } else {
      AppendUnableToGeocode(text);
    }
    if (format == AnswerFormat::kJsonLines) text.push_back('\n');
  }
  if (run + 1 == Runs() && format == AnswerFormat::kJson) text.push_back(']');
  return KAVREL_SUCCESS;
}

std::int32_t BatchAnswer::Start() {
  m_first.clear();
  try {
    m_failure = MakeRun(0, m_first);
  } catch (const std::bad_alloc&) {
    m_failure = KAVREL_OUT_OF_MEMORY;
  }
  return m_failure;
}

bool BatchAnswer::Send(const Writer& write) {
  if (m_failure != KAVREL_SUCCESS) return false;
  if (!m_first.empty() && !write(m_first)) return false;
  const std::size_t runs = Runs();
  if (runs == 1) return true;
  // Runs 1.. through the pipeline: a slot holds a run's number and text.
  const std::size_t slots = m_lanes + kRunsAhead;
  std::vector<std::size_t> slotRun(slots);
  std::vector<std::string> texts(slots);
  std::vector<std::int32_t> statuses(slots, KAVREL_SUCCESS);
  std::size_t next = 1;
  const output::PipelineStages stages{
      [&](std::size_t slot) {
        slotRun[slot] = next++;
        return next == runs ? output::ReadOutcome::kLastItem : output::ReadOutcome::kItem;
      },
      [&](std::size_t slot) {
        texts[slot].clear();
        statuses[slot] = MakeRun(slotRun[slot], texts[slot]);
      },
      [&](std::size_t slot) {
        if (statuses[slot] != KAVREL_SUCCESS) {
          m_failure = statuses[slot];
          return false;
        }
        return texts[slot].empty() || write(texts[slot]);
      }};
  output::OrderedPipeline pipeline(slots);
  try {
    return pipeline.Run(static_cast<int>(m_lanes), stages);
  } catch (const std::bad_alloc&) {
    // A run's answers or text could not be had: the answer is cut off here,
    // and the server goes on.
    m_failure = KAVREL_OUT_OF_MEMORY;
    return false;
  }
}

}  // namespace kavrel::serve
