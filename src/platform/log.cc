#include "platform/log.h"

#include <cstdio>
#include <mutex>

#include "platform/clock.h"
#include "platform/text.h"

namespace ab {
namespace {

std::mutex& Mutex() {
  static std::mutex m;
  return m;
}

std::function<void(const std::string&)>& Sink() {
  static std::function<void(const std::string&)> sink;
  return sink;
}

}  // namespace

std::string OneLine(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      if (out.empty() || out.back() != ' ') out += ' ';
      continue;
    }
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

void Log(LogLevel level, const std::string& gbk_text) {
  const char* name = level == LogLevel::kInfo ? "INFO" : level == LogLevel::kWarning ? "WARNING"
                                                                                     : "ERROR";
  std::string line = FormatDateTime("yyyy-mm-dd hh:nn:ss", RealClock().Now()) + " " + name + " " +
                     utf8(OneLine(gbk_text));
  std::lock_guard<std::mutex> lock(Mutex());
  if (Sink()) {
    Sink()(line);
    return;
  }
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void SetLogSink(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::mutex> lock(Mutex());
  Sink() = std::move(sink);
}

}  // namespace ab
