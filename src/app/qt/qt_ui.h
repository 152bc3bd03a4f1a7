#pragma once
// The Ui seam on Qt Widgets: message boxes, the tray icon's balloons and popup menu, the settings
// window (visibility, caption, progress bar ProgressBar1), the busy cursor, the folder and file
// choosers, the input box, help and the end of the event loop.
//
// User-interface thread only. Every modal operation runs a nested event loop, so timer handlers
// and tray clicks are served while it is open; the window object guards itself against
// re-entry. The settings window and the tray icon are owned elsewhere and must outlive this
// object's use of them.

#include <QPointer>
#include <QStringList>
#include <exception>
#include <functional>
#include <string>

#include "platform/ui.h"

class QMenu;
class QProgressBar;
class QSystemTrayIcon;
class QWidget;

namespace ab {

class QtUi : public Ui {
 public:
  QtUi() = default;
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  // The settings window and its progress bar; null until they exist.
  void SetSettingsWindow(QWidget* window, QProgressBar* progress);
  // The tray icon and the popup menu that AttachTrayMenu gives it.
  void SetTray(QSystemTrayIcon* tray, QMenu* menu);
  // Called whenever the window object may have changed state the controls show (the "立即备份"
  // button around a backup) and before every nested event loop, so the controls never show a
  // stale state while events are served.
  void SetStateListener(std::function<void()> listener) { state_listener_ = std::move(listener); }

  MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                       MsgIcon icon, Question question) override;
  void Balloon(const std::string& title, const std::string& text) override;
  void ShowWindow() override;
  void HideWindow() override;
  bool WindowVisible() const override;
  void SetCaption(const std::string& caption) override;
  void SetBusy(bool busy) override;
  void SetProgress(int maximum, int position) override;
  void AttachTrayMenu() override;
  void DetachTrayMenu() override;
  std::optional<std::string> ChooseFolder(const std::string& title,
                                          const std::string& start) override;
  std::optional<std::string> ChooseFile(const std::string& filter,
                                        const std::string& default_ext) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& default_text) override;
  void ShowHelp(const std::string& file, const std::string& topic) override;
  void ProcessPendingEvents() override;
  // Ends every running event loop (QCoreApplication::exit); an event loop started afterwards
  // returns at once. Before the main loop runs, the caller checks quit_requested().
  void Quit() override;

  bool quit_requested() const { return quit_requested_; }
  bool tray_menu_attached() const { return menu_attached_; }

 private:
  void StateChanged();
  // Where a modal box belongs: the open modal dialog, else the visible settings window.
  QWidget* DialogParent() const;

  QPointer<QWidget> window_;
  QPointer<QProgressBar> progress_;
  QPointer<QSystemTrayIcon> tray_;
  QPointer<QMenu> menu_;
  std::function<void()> state_listener_;
  bool menu_attached_ = false;
  bool quit_requested_ = false;
  int busy_depth_ = 0;
};

// Turns "caption|pattern|caption|pattern" into Qt's name filters. An entry whose caption ends
// with its pattern in parentheses is kept as it is; otherwise the pattern is appended.
QStringList NameFilters(const std::string& filter);

// The application's display of an error no handler caught: its own text in an error box.
void ShowUncaughtError(Ui& ui, const std::exception& e);

}  // namespace ab
