#include "messages.h"

namespace kavrel::console {

namespace {

struct MessageEntry {
  int id;
  std::u16string_view text;
};

// None of these texts carries a line break of its own except the usage text;
// the writers add "\r\n" where a line ends.
constexpr MessageEntry kStringTable[] = {
    {kMsgEngineInitFailed, u"エンジンの初期化に失敗しました"},
    {kMsgInputUnreadable, u"入力ファイルから読み取れません"},
    {kMsgOutputUnwritable, u"出力ファイルに書き込めません"},
    {kMsgParameterFailed, u"パラメータを設定できませんでした"},
    {kMsgArgumentError, u"引数または設定に誤りがあります"},
    {kMsgConversionStarted, u"変換処理を開始しました"},
    {kMsgConversionFinished, u"変換処理を終了しました"},
    {kMsgStatistics, u"成功%d件/失敗%d件/所要時間%d秒/1秒あたり%.2f件"},
    {kMsgProgress, u"%d%%完了しました(%d/%d)"},
    {kMsgUsage,
     u"Usage: %s [options]\r\n"
     u" /in (inputfile) : Input CSV\r\n"
     u" /out (outputfile) : Output CSV\r\n"
     u" /lat (latitude) : Latitude\r\n"
     u" /lon (longitude) : Longitude\r\n"
     u" /sep (separator) : Separator character\r\n"
     u" /step (stepsize) : Search step size\r\n"
     u" /width (width) : Search width\r\n"
     u" /version : Show version\r\n"
     u" /help : Show help\r\n"},
};

}  // namespace

std::u16string_view LoadMessage(int id) {
  for (const MessageEntry& entry : kStringTable) {
    if (entry.id == id) return entry.text;
  }
  return {};
}

}  // namespace kavrel::console
