#pragma once
// The settings window of the backup schedule, TFormDiziUpdate's face: caption "自动备份", fixed
// dialog border, centred on the desktop, client area 385 × 173.
//
// The window object's `screen` is the model; the controls show it (Refresh) and hand the
// operator's changes back to it as they happen. The controls carry the names of the window
// design as object names (edtPath, btn10, cxComboBox1, cxComboBox2, ProgressBar1, cxButton1,
// cxButton3, cxButton2, cxTextEdit1, Chk1, Memo1, Memo2, cxButton5, cxButton4, Label4). The
// branch number field, the hidden check box and the Base64 test pair lie below the visible
// client area.
//
// Closing the window with its title-bar button asks FormCloseQuery: it hides unless a confirmed
// Exit is under way. User-interface thread only; `form` and `ui` must outlive the window.

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace ab {

class TFormDiziUpdate;
class Ui;

class SettingsWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 385;
  static constexpr int kClientHeight = 173;

  SettingsWindow(TFormDiziUpdate& form, Ui& ui);

  // Shows the window object's `screen` in the controls.
  void Refresh();
  // The "立即备份" button follows the window object's in-progress state.
  void SyncState();
  // Puts the window in the middle of the desktop.
  void Centre();

  QProgressBar* progressBar() const { return progress_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs a handler; what it lets escape is shown as the application shows uncaught errors.
  void Guarded(const std::function<void()>& handler);
  void Compress();
  void Decompress();

  TFormDiziUpdate& form_;
  Ui& ui_;
  QLineEdit* path_;
  QPushButton* browse_;
  QComboBox* interval_;
  QComboBox* days_;
  QProgressBar* progress_;
  QPushButton* save_;
  QPushButton* backup_;
  QPushButton* hide_;
  QLineEdit* branch_;
  QCheckBox* sync_time_;
  QPlainTextEdit* memo1_;
  QPlainTextEdit* memo2_;
  QPushButton* compress_;
  QPushButton* decompress_;
  QLabel* label4_;
};

}  // namespace ab
