#include "app/qt/qt_ui.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QSystemTrayIcon>
#include <QUrl>
#include <algorithm>

#include "app/qt/qt_text.h"
#include "platform/log.h"

namespace ab {
namespace {

constexpr int kBalloonMs = 15000;

QMessageBox::Icon IconOf(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::kInformation:
      return QMessageBox::Information;
    case MsgIcon::kQuestion:
      return QMessageBox::Question;
    case MsgIcon::kError:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::kOk:
      return QMessageBox::Ok;
    case MsgButtons::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::kYesNo:
      return QMessageBox::Yes | QMessageBox::No;
  }
  return QMessageBox::Ok;
}

// A box closed without one of its buttons (an event loop ended by Quit) gives the answer that
// does nothing.
MsgResult SafeAnswer(MsgButtons buttons) {
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

}  // namespace

void QtUi::SetSettingsWindow(QWidget* window, QProgressBar* progress) {
  window_ = window;
  progress_ = progress;
}

void QtUi::SetTray(QSystemTrayIcon* tray, QMenu* menu) {
  tray_ = tray;
  menu_ = menu;
}

void QtUi::StateChanged() {
  if (state_listener_) state_listener_();
}

QWidget* QtUi::DialogParent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (window_ && window_->isVisible() && !window_->isMinimized()) return window_;
  return nullptr;
}

MsgResult QtUi::MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                           MsgIcon icon, Question /*question*/) {
  StateChanged();
  QMessageBox box(IconOf(icon), ToQt(caption), ToQt(text), ButtonsOf(buttons), DialogParent());
  box.setTextFormat(Qt::PlainText);
  switch (box.exec()) {
    case QMessageBox::Ok:
      return MsgResult::kOk;
    case QMessageBox::Cancel:
      return MsgResult::kCancel;
    case QMessageBox::Yes:
      return MsgResult::kYes;
    case QMessageBox::No:
      return MsgResult::kNo;
    default:
      return SafeAnswer(buttons);
  }
}

void QtUi::Balloon(const std::string& title, const std::string& text) {
  Log(LogLevel::kInfo, title + ": " + text);
  if (tray_ && tray_->isVisible()) {
    tray_->showMessage(ToQt(title), ToQt(text), QSystemTrayIcon::Information, kBalloonMs);
  }
}

void QtUi::ShowWindow() {
  if (!window_) return;
  if (window_->isMinimized()) {
    window_->showNormal();
  } else {
    window_->show();
  }
  window_->raise();
  window_->activateWindow();
}

void QtUi::HideWindow() {
  if (window_) window_->hide();
}

bool QtUi::WindowVisible() const { return window_ && window_->isVisible(); }

void QtUi::SetCaption(const std::string& caption) {
  if (window_) window_->setWindowTitle(ToQt(caption));
}

void QtUi::SetBusy(bool busy) {
  if (busy) {
    ++busy_depth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (busy_depth_ > 0) {
    --busy_depth_;
    QApplication::restoreOverrideCursor();
  }
  StateChanged();
}

void QtUi::SetProgress(int maximum, int position) {
  if (!progress_) return;
  // A range of 0..0 would make the bar an endless busy indicator.
  int top = std::max(maximum, 1);
  progress_->setRange(0, top);
  progress_->setValue(std::clamp(position, 0, top));
  // Painted at once, without serving events: a timer handler must not run SQL on the
  // connection while a dump streams a result over it.
  progress_->repaint();
}

void QtUi::AttachTrayMenu() {
  if (tray_) tray_->setContextMenu(menu_);
  menu_attached_ = true;
  StateChanged();
}

void QtUi::DetachTrayMenu() {
  if (tray_) tray_->setContextMenu(nullptr);
  menu_attached_ = false;
  StateChanged();
}

std::optional<std::string> QtUi::ChooseFolder(const std::string& title, const std::string& start) {
  StateChanged();
  QString folder = QFileDialog::getExistingDirectory(DialogParent(), ToQt(title), ToQt(start),
                                                     QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  return FromQt(folder);
}

QStringList NameFilters(const std::string& filter) {
  QStringList parts = ToQt(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& caption = parts[i];
    const QString& pattern = parts[i + 1];
    if (caption.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')'))) {
      filters << caption;
    } else {
      filters << caption + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
  }
  return filters;
}

std::optional<std::string> QtUi::ChooseFile(const std::string& filter,
                                            const std::string& default_ext) {
  StateChanged();
  QFileDialog dialog(DialogParent());
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(NameFilters(filter));
  QString suffix = ToQt(default_ext);
  if (suffix.startsWith(QStringLiteral("*."))) suffix.remove(0, 2);
  dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return FromQt(dialog.selectedFiles().first());
}

std::optional<std::string> QtUi::InputBox(const std::string& caption, const std::string& prompt,
                                          const std::string& default_text) {
  StateChanged();
  bool ok = false;
  QString text = QInputDialog::getText(DialogParent(), ToQt(caption), ToQt(prompt),
                                       QLineEdit::Normal, ToQt(default_text), &ok);
  if (!ok) return std::nullopt;
  return FromQt(text);
}

void QtUi::ShowHelp(const std::string& file, const std::string& topic) {
  // A viewer for compiled help takes the file; the topic cannot be passed to an arbitrary one.
  Log(LogLevel::kInfo, "Help: " + file + " topic " + topic);
  QDesktopServices::openUrl(QUrl::fromLocalFile(ToQt(file)));
}

void QtUi::ProcessPendingEvents() {
  StateChanged();
  QCoreApplication::processEvents();
}

void QtUi::Quit() {
  quit_requested_ = true;
  QCoreApplication::exit(0);
}

void ShowUncaughtError(Ui& ui, const std::exception& e) {
  Log(LogLevel::kError, e.what());
  ui.MessageBox(e.what(), gbk("自动备份"), MsgButtons::kOk, MsgIcon::kError, Question::kGeneric);
}

}  // namespace ab
