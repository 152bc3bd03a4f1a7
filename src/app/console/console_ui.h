#pragma once
// The console and daemon front end's user interface: every message box and balloon becomes one
// log line on standard error (time, caption, text in UTF-8). Questions are answered by policy:
// with --yes every question gets Yes/OK; on a terminal the operator is asked; otherwise (a
// service) the start-up connection failure gets Cancel, a lost link without local server gets Yes
// after a 10-second pause that a stop request cuts short (then No), and every other question its
// safe default (No/Cancel).

#include <functional>
#include <iosfwd>
#include <string>

#include "platform/ui.h"

namespace ab {

class ConsoleUi : public Ui {
 public:
  struct Options {
    bool yes = false;         // --yes
    bool interactive = false;  // standard input and error are a terminal
  };
  // `pause(seconds)` waits and returns false when the wait was cut short by a stop request.
  ConsoleUi(Options options, std::istream& in, std::function<bool(double)> pause);

  MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                       MsgIcon icon, Question question) override;
  void Balloon(const std::string& title, const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& default_text) override;
  void Quit() override { quit_requested_ = true; }

  bool quit_requested() const { return quit_requested_; }

 private:
  MsgResult Ask(const std::string& text, const std::string& caption, MsgButtons buttons);

  Options options_;
  std::istream& in_;
  std::function<bool(double)> pause_;
  bool quit_requested_ = false;
};

// True when standard input and standard error are both terminals.
bool OnTerminal();

}  // namespace ab
