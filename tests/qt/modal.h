#pragma once
// Scripted answers to the modal windows a test makes the program open. The windows run nested
// event loops inside the code under test; a script polls for the next top-level modal window it
// has not handled yet and runs the next action on it. Actions must not block: what closes a
// window or opens another one is posted (ClickLater), so that the script keeps polling.

#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QWidget;

namespace ab::testing {

// What a handled modal window showed.
struct SeenModal {
  std::string kind;   // the class name, e.g. "QMessageBox"
  std::string title;  // UTF-8
  std::string text;   // a message box's text (UTF-8), else ""
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

class ModalScript {
 public:
  using Action = std::function<void(QWidget*)>;

  ModalScript();
  ~ModalScript();
  ModalScript(const ModalScript&) = delete;
  ModalScript& operator=(const ModalScript&) = delete;

  // Queues `action` for the next modal window that opens.
  ModalScript& Then(Action action);
  const std::vector<SeenModal>& seen() const { return seen_; }
  bool finished() const { return actions_.empty(); }

 private:
  void Poll();

  QTimer timer_;
  std::deque<Action> actions_;
  std::vector<SeenModal> seen_;
};

// Clicks `button` from the event loop rather than from inside the caller.
void ClickLater(QAbstractButton* button);
// An action that answers a message box with `button`.
ModalScript::Action Answer(QMessageBox::StandardButton button);

}  // namespace ab::testing
