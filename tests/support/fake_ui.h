#pragma once
// A scripted Ui for tests: records every call as a short line and answers message boxes from a
// queue (the safe default, No/Cancel/OK, when the queue is empty).

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/ui.h"

namespace ab::testing {

class FakeUi : public Ui {
 public:
  struct Box {
    std::string text, caption;  // UTF-8
    MsgButtons buttons;
    MsgIcon icon;
    Question question;
  };

  MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                       MsgIcon icon, Question question) override {
    boxes.push_back({utf8(text), utf8(caption), buttons, icon, question});
    calls.push_back("box " + utf8(caption) + ": " + utf8(text));
    if (on_message_box) on_message_box();
    if (!answers.empty()) {
      MsgResult r = answers.front();
      answers.pop_front();
      return r;
    }
    return buttons == MsgButtons::kOk      ? MsgResult::kOk
           : buttons == MsgButtons::kYesNo ? MsgResult::kNo
                                           : MsgResult::kCancel;
  }
  void Balloon(const std::string& title, const std::string& text) override {
    calls.push_back("balloon " + utf8(title) + ": " + utf8(text));
  }
  void ShowWindow() override {
    visible = true;
    calls.push_back("show");
  }
  void HideWindow() override {
    visible = false;
    calls.push_back("hide");
  }
  bool WindowVisible() const override { return visible; }
  void SetCaption(const std::string& text) override { window_caption = utf8(text); }
  void SetBusy(bool busy) override { calls.push_back(busy ? "busy on" : "busy off"); }
  void AttachTrayMenu() override { calls.push_back("menu attach"); }
  void DetachTrayMenu() override { calls.push_back("menu detach"); }
  std::optional<std::string> ChooseFolder(const std::string& title,
                                          const std::string& start) override {
    calls.push_back("folder " + utf8(title) + " at " + utf8(start));
    return folder_answer;
  }
  std::optional<std::string> ChooseFile(const std::string& filter,
                                        const std::string& default_ext) override {
    calls.push_back("file " + utf8(filter) + " " + default_ext);
    return file_answer;
  }
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& default_text) override {
    calls.push_back("input " + utf8(caption) + ": " + utf8(prompt) + " [" + utf8(default_text) +
                    "]");
    return input_answer;
  }
  void ProcessPendingEvents() override {
    ++pending_events_processed;
    if (on_process_events) on_process_events();
  }
  void Quit() override {
    quit_requested = true;
    calls.push_back("quit");
  }

  std::deque<MsgResult> answers;
  std::vector<Box> boxes;
  std::vector<std::string> calls;
  std::function<void()> on_message_box;
  std::function<void()> on_process_events;
  std::optional<std::string> folder_answer, file_answer, input_answer;
  std::string window_caption;
  bool visible = false;
  bool quit_requested = false;
  int pending_events_processed = 0;
};

}  // namespace ab::testing
