#include "progress_report.h"

#include <string>

#include "console_output.h"
#include "message_format.h"
#include "resources/messages.h"

namespace kavrel::console {

void PercentProgress::Update(std::uint64_t position, std::int32_t succeeded, std::int32_t failed) {
  if (m_size == 0) return;
  const double percent = static_cast<double>(position) / static_cast<double>(m_size) * 100.0;
  if (!(percent > m_threshold)) return;
  WriteAnsiText(m_handle, FormatMessageText(LoadMessage(kMsgProgress),
                                            {static_cast<int>(m_threshold), succeeded, failed}));
  WriteAnsiText(m_handle, u"\r\n");
  m_threshold += 10.0;
}

void StreamProgress::Update(std::uint64_t lines, std::int64_t elapsedMilliseconds) {
  if (m_handle < 0 || elapsedMilliseconds < m_next) return;
  m_next = elapsedMilliseconds + m_interval;
  const std::uint64_t rate = elapsedMilliseconds > 0 ? lines * 1000 / static_cast<std::uint64_t>(elapsedMilliseconds) : 0;
  const std::string text =
      "kavrel: progress: " + std::to_string(lines) + " lines, " + std::to_string(rate) + " lines/s\n";
  WriteAnsiText(m_handle, std::u16string(text.begin(), text.end()));
}

}  // namespace kavrel::console
