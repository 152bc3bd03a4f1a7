#pragma once
// The user-interface seam: every toolkit operation the shell needs. Texts are GBK; a front end
// converts them at its edge. All calls come from the user-interface thread. A message box or a
// modal dialog may let timer handlers run while it is open (the Qt front end does); callers that
// must not re-enter guard themselves.

#include <optional>
#include <string>

namespace ab {

enum class MsgButtons { kOk, kOkCancel, kYesNo };
enum class MsgIcon { kInformation, kQuestion, kError };
enum class MsgResult { kOk, kCancel, kYes, kNo };

// Which question a message box asks, so that an unattended front end can answer it by policy.
enum class Question {
  kGeneric,            // safe default: No / Cancel
  kStartupConnection,  // the start-up "数据库连接" failure: unattended Cancel ends the process
  kLostLink,           // the retry question of a lost link without a local server
};

class Ui {
 public:
  virtual ~Ui() = default;

  // Modal; returns the button pressed.
  virtual MsgResult MessageBox(const std::string& text, const std::string& caption,
                               MsgButtons buttons, MsgIcon icon,
                               Question question = Question::kGeneric) = 0;
  // An information balloon of the tray icon, shown for 15 s.
  virtual void Balloon(const std::string& title, const std::string& text) = 0;

  virtual void ShowWindow() {}
  virtual void HideWindow() {}
  virtual bool WindowVisible() const { return false; }
  virtual void SetCaption(const std::string& /*caption*/) {}
  virtual void SetBusy(bool /*busy*/) {}
  // The settings window's progress bar ProgressBar1 (repainted at once, no events processed).
  virtual void SetProgress(int /*maximum*/, int /*position*/) {}
  virtual void AttachTrayMenu() {}
  virtual void DetachTrayMenu() {}
  // The chosen folder, or nullopt when the operator cancels.
  virtual std::optional<std::string> ChooseFolder(const std::string& /*title*/,
                                                  const std::string& /*start*/) {
    return std::nullopt;
  }
  // The chosen file; `filter` is "caption|pattern|caption|pattern".
  virtual std::optional<std::string> ChooseFile(const std::string& /*filter*/,
                                                const std::string& /*default_ext*/) {
    return std::nullopt;
  }
  // The text entered, or nullopt when the operator cancels.
  virtual std::optional<std::string> InputBox(const std::string& /*caption*/,
                                              const std::string& /*prompt*/,
                                              const std::string& /*default_text*/) {
    return std::nullopt;
  }
  // Opens `topic` of the compiled help file `file` with the desktop's viewer for that file type.
  virtual void ShowHelp(const std::string& /*file*/, const std::string& /*topic*/) {}
  virtual void ProcessPendingEvents() {}
  // Ends the message loop after the current handler returns; no exit sequence runs.
  virtual void Quit() {}
};

}  // namespace ab
