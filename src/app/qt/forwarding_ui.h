#pragma once
// A Ui that passes every operation to another one; a window that needs one operation done its
// own way (its own progress bar) derives from it and overrides that call only.

#include "platform/ui.h"

namespace ab {

class ForwardingUi : public Ui {
 public:
  // `target` must outlive this object.
  explicit ForwardingUi(Ui& target) : target_(target) {}

  MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                       MsgIcon icon, Question question) override {
    return target_.MessageBox(text, caption, buttons, icon, question);
  }
  void Balloon(const std::string& title, const std::string& text) override {
    target_.Balloon(title, text);
  }
  void ShowWindow() override { target_.ShowWindow(); }
  void HideWindow() override { target_.HideWindow(); }
  bool WindowVisible() const override { return target_.WindowVisible(); }
  void SetCaption(const std::string& caption) override { target_.SetCaption(caption); }
  void SetBusy(bool busy) override { target_.SetBusy(busy); }
  void SetProgress(int maximum, int position) override { target_.SetProgress(maximum, position); }
  void AttachTrayMenu() override { target_.AttachTrayMenu(); }
  void DetachTrayMenu() override { target_.DetachTrayMenu(); }
  std::optional<std::string> ChooseFolder(const std::string& title,
                                          const std::string& start) override {
    return target_.ChooseFolder(title, start);
  }
  std::optional<std::string> ChooseFile(const std::string& filter,
                                        const std::string& default_ext) override {
    return target_.ChooseFile(filter, default_ext);
  }
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& default_text) override {
    return target_.InputBox(caption, prompt, default_text);
  }
  void ShowHelp(const std::string& file, const std::string& topic) override {
    target_.ShowHelp(file, topic);
  }
  void ProcessPendingEvents() override { target_.ProcessPendingEvents(); }
  void Quit() override { target_.Quit(); }

 private:
  Ui& target_;
};

}  // namespace ab
