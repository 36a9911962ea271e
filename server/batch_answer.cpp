#include "batch_answer.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

namespace kavrel::serve {

BatchAnswer::BatchAnswer(const kavrel_geocoder* handle, const AnswerContext& context, ReverseRequest request,
                         BatchPoints points, std::size_t lanes)
    : m_handle(handle), m_context(context), m_request(std::move(request)), m_points(std::move(points)),
      m_lanes(std::clamp<std::size_t>(lanes, 1, KAVREL_MAX_THREADS)) {}

std::int32_t BatchAnswer::MakeRun(std::size_t begin, std::size_t end, std::string& text) const {
  const std::size_t count = end - begin;
  std::vector<kavrel_answer> answers(count);
  std::vector<std::int32_t> results(count);
  if (count > 0) {
    // One thread per run: the wave already spreads the runs over the cores.
    const std::int32_t status =
        kavrel_lookup_many(m_handle, count, &m_points.latitudes[begin], &m_points.longitudes[begin],
                           &m_request.query, 1, answers.data(), results.data());
    if (status != KAVREL_SUCCESS) return status;
  }
  const AnswerFormat format = m_request.format;
  // The CSV header and the array's '[' come before row 0, its ']' after the last.
  if (begin == 0 && format == AnswerFormat::kCsv) text += kCsvHeader;
  if (begin == 0 && format == AnswerFormat::kJson) text.push_back('[');
  for (std::size_t i = 0; i < count; ++i) {
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
  if (end == Rows() && format == AnswerFormat::kJson) text.push_back(']');
  return KAVREL_SUCCESS;
}

std::int32_t BatchAnswer::MakeWave() {
  if (m_failure != KAVREL_SUCCESS) return m_failure;
  const std::size_t rows = Rows();
  const std::size_t runs = std::clamp<std::size_t>((rows - m_next + kRowsPerLane - 1) / kRowsPerLane, 1, m_lanes);
  m_texts.resize(runs);
  std::vector<std::int32_t> statuses(runs, KAVREL_SUCCESS);
  std::vector<std::thread> threads;
  for (std::size_t run = 0; run < runs; ++run) {
    m_texts[run].clear();
    if (run == 0) continue;  // the calling thread's, below
    const std::size_t begin = std::min(rows, m_next + run * kRowsPerLane);
    const std::size_t end = std::min(rows, begin + kRowsPerLane);
    try {
      threads.emplace_back([this, begin, end, run, &statuses] { statuses[run] = MakeRun(begin, end, m_texts[run]); });
    } catch (const std::system_error&) {
      statuses[run] = KAVREL_OUT_OF_MEMORY;
    }
  }
  statuses[0] = MakeRun(m_next, std::min(rows, m_next + kRowsPerLane), m_texts[0]);
  for (std::thread& thread : threads) thread.join();
  m_next = std::min(rows, m_next + runs * kRowsPerLane);
  m_made = true;
  m_given = 0;
  for (const std::int32_t status : statuses) {
    if (status != KAVREL_SUCCESS) return m_failure = status;
  }
  return KAVREL_SUCCESS;
}

std::int32_t BatchAnswer::Next(std::string_view& text) {
  if (m_failure != KAVREL_SUCCESS) return m_failure;
  if (Finished()) {
    text = {};
    return KAVREL_SUCCESS;
  }
  if (!m_made || m_given == m_texts.size()) {
    if (const std::int32_t status = MakeWave(); status != KAVREL_SUCCESS) return status;
  }
  text = m_texts[m_given++];
  return KAVREL_SUCCESS;
}

bool BatchAnswer::Finished() const { return m_made && m_next == Rows() && m_given == m_texts.size(); }

}  // namespace kavrel::serve
