#include "app/console/console_ui.h"

#include <unistd.h>

#include <cstdio>
#include <istream>

#include "platform/log.h"
#include "platform/text.h"

namespace ab {
namespace {

MsgResult SafeDefault(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::kOk:
      return MsgResult::kOk;
    case MsgButtons::kOkCancel:
      return MsgResult::kCancel;
    case MsgButtons::kYesNo:
      return MsgResult::kNo;
  }
  return MsgResult::kCancel;
}

MsgResult Affirmative(MsgButtons buttons) {
  return buttons == MsgButtons::kYesNo ? MsgResult::kYes : MsgResult::kOk;
}

const char* AnswerName(MsgResult r) {
  switch (r) {
    case MsgResult::kOk:
      return "OK";
    case MsgResult::kCancel:
      return "Cancel";
    case MsgResult::kYes:
      return "Yes";
    case MsgResult::kNo:
      return "No";
  }
  return "?";
}

}  // namespace

bool OnTerminal() { return ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO); }

ConsoleUi::ConsoleUi(Options options, std::istream& in, std::function<bool(double)> pause)
    : options_(options), in_(in), pause_(std::move(pause)) {}

MsgResult ConsoleUi::MessageBox(const std::string& text, const std::string& caption,
                                MsgButtons buttons, MsgIcon icon, Question question) {
  LogLevel level = icon == MsgIcon::kError ? LogLevel::kError : LogLevel::kInfo;
  Log(level, "[" + caption + "] " + text);
  if (buttons == MsgButtons::kOk) return MsgResult::kOk;
  MsgResult answer;
  if (options_.yes) {
    answer = Affirmative(buttons);
  } else if (options_.interactive) {
    answer = Ask(text, caption, buttons);
  } else if (question == Question::kStartupConnection) {
    answer = MsgResult::kCancel;
  } else if (question == Question::kLostLink) {
    answer = (pause_ && pause_(10.0)) ? MsgResult::kYes : MsgResult::kNo;
  } else {
    answer = SafeDefault(buttons);
  }
  Log(LogLevel::kInfo, "[" + caption + "] answered " + AnswerName(answer));
  return answer;
}

MsgResult ConsoleUi::Ask(const std::string& text, const std::string& caption,
                         MsgButtons buttons) {
  bool yes_no = buttons == MsgButtons::kYesNo;
  for (;;) {
    std::fprintf(stderr, "%s\n%s %s ", utf8(caption).c_str(), utf8(text).c_str(),
                 yes_no ? "[y/n]" : "[o(k)/c(ancel)]");
    std::fflush(stderr);
    std::string line;
    if (!std::getline(in_, line)) return SafeDefault(buttons);
    std::string a = LowerCase(Trim(line));
    if (yes_no && (a == "y" || a == "yes")) return MsgResult::kYes;
    if (yes_no && (a == "n" || a == "no")) return MsgResult::kNo;
    if (!yes_no && (a == "o" || a == "ok")) return MsgResult::kOk;
    if (!yes_no && (a == "c" || a == "cancel")) return MsgResult::kCancel;
  }
}

void ConsoleUi::Balloon(const std::string& title, const std::string& text) {
  Log(LogLevel::kInfo, "[" + title + "] " + text);
}

std::optional<std::string> ConsoleUi::InputBox(const std::string& caption,
                                               const std::string& prompt,
                                               const std::string& default_text) {
  if (!options_.interactive) return std::nullopt;
  std::fprintf(stderr, "%s\n%s [%s] ", utf8(caption).c_str(), utf8(prompt).c_str(),
               utf8(default_text).c_str());
  std::fflush(stderr);
  std::string line;
  if (!std::getline(in_, line)) return std::nullopt;
  return line.empty() ? default_text : gbk(line);
}

}  // namespace ab
