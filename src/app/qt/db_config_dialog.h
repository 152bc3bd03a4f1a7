#pragma once
// The database setup dialog TfrmDBConfig on Qt: caption "数据库设置,帮助请按F1", dialog border,
// centred on the screen, client area 337 × 226. The fields server (editable list holding
// "localhost"), database, user and the hidden password; "创建(&C)" runs a script with the
// progress bar pb1 moving; "确定(&O)" saves and closes with OK; "取消(&X)" and Escape close with
// Cancel; F1 opens help.
//
// The logic is TfrmDBConfig's; the dialog copies the fields into it before a handler runs and
// shows its state afterwards. While a script runs the dialog stays responsive (the runner lets
// pending events be processed) but its buttons are disabled, so that neither a second creation
// nor a close can start inside the running one.
//
// User-interface thread only; `ui` and `config` must outlive the dialog.

#include <QDialog>
#include <functional>
#include <memory>

#include "config/setup_dialog.h"

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace ab {

class TConfigFile;
class Ui;

class DBConfigDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 337;
  static constexpr int kClientHeight = 226;

  DBConfigDialog(Ui& ui, TConfigFile& config, QWidget* parent = nullptr);
  ~DBConfigDialog() override;

  TfrmDBConfig& form() { return *form_; }

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  class DialogUi;

  // Fields -> TfrmDBConfig, and back.
  void Collect();
  void Refresh();
  void Guarded(const std::function<void()>& handler);
  void Create();
  void Ok();
  void SetButtonsEnabled(bool enabled);

  Ui& ui_;
  std::unique_ptr<DialogUi> dialog_ui_;  // before form_, which uses it
  std::unique_ptr<TfrmDBConfig> form_;
  bool creating_ = false;
  QComboBox* server_;
  QLineEdit* database_;
  QLineEdit* user_;
  QLineEdit* password_;
  QProgressBar* pb1_;
  QPushButton* create_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// Opens the setup dialog modally, as the connection registry does when the database cannot be
// reached at start-up: true when it closed with OK (the settings were saved).
bool RunSetupDialog(Ui& ui, TConfigFile& config);

}  // namespace ab
