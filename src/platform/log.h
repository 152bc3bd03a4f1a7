#pragma once
// The service's own diagnostic log: one line per event, written as UTF-8 to standard error by
// default (journald picks it up under systemd). Texts handed in are GBK.

#include <functional>
#include <string>

namespace ab {

enum class LogLevel { kInfo, kWarning, kError };

// Writes "yyyy-mm-dd hh:nn:ss LEVEL text" with line breaks inside the text folded to blanks.
void Log(LogLevel level, const std::string& gbk_text);

// Replaces the sink (for tests); an empty function restores standard error. The sink receives
// the finished UTF-8 line without its line end.
void SetLogSink(std::function<void(const std::string&)> sink);

// Folds CR and LF into single blanks, so that one event stays one line.
std::string OneLine(const std::string& text);

}  // namespace ab
