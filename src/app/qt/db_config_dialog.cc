#include "app/qt/db_config_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>

#include "app/qt/forwarding_ui.h"
#include "app/qt/qt_text.h"
#include "app/qt/qt_ui.h"

namespace ab {
namespace {

template <typename W>
W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
  auto* widget = new W(parent);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(x, y, w, h);
  return widget;
}

void Label(QWidget* parent, const char* name, const char* text, int y) {
  auto* label = Make<QLabel>(parent, name, 28, y, 70, 22);
  label->setText(QString::fromUtf8(text));
}

QPushButton* Button(QWidget* parent, const char* name, const char* text, int x) {
  auto* button = Make<QPushButton>(parent, name, x, 184, 80, 27);
  button->setText(QString::fromUtf8(text));
  // Enter in a field presses no button, as in the window design.
  button->setAutoDefault(false);
  return button;
}

}  // namespace

// The dialog's own progress bar pb1; everything else goes to the service's Ui.
class DBConfigDialog::DialogUi : public ForwardingUi {
 public:
  DialogUi(Ui& target, DBConfigDialog& dialog) : ForwardingUi(target), dialog_(dialog) {}

  void SetProgress(int maximum, int position) override {
    // The creation shows the bar and the script's database name before its first report.
    dialog_.Refresh();
    dialog_.pb1_->setRange(0, std::max(maximum, 1));
    dialog_.pb1_->setValue(position);
    dialog_.pb1_->repaint();
  }

 private:
  DBConfigDialog& dialog_;
};

DBConfigDialog::DBConfigDialog(Ui& ui, TConfigFile& config, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      ui_(ui),
      dialog_ui_(std::make_unique<DialogUi>(ui, *this)),
      form_(std::make_unique<TfrmDBConfig>(*dialog_ui_, config)) {
  setObjectName(QStringLiteral("frmDBConfig"));
  setWindowTitle(QString::fromUtf8("数据库设置,帮助请按F1"));
  setFixedSize(kClientWidth, kClientHeight);

  Label(this, "Label1", "服务器:", 24);
  server_ = Make<QComboBox>(this, "cbbServer", 100, 24, 208, 22);
  server_->setEditable(true);
  server_->setInsertPolicy(QComboBox::NoInsert);
  server_->addItem(QStringLiteral("localhost"));
  Label(this, "Label2", "数据库:", 56);
  database_ = Make<QLineEdit>(this, "edtDBName", 100, 56, 208, 22);
  Label(this, "Label3", "登录名:", 88);
  user_ = Make<QLineEdit>(this, "edtUserName", 100, 88, 208, 22);
  Label(this, "Label4", "登录密码:", 120);
  password_ = Make<QLineEdit>(this, "edtPassword", 100, 120, 208, 22);
  password_->setEchoMode(QLineEdit::Password);
  pb1_ = Make<QProgressBar>(this, "pb1", 28, 156, 280, 16);
  pb1_->setRange(0, 100);
  pb1_->setValue(0);
  pb1_->setTextVisible(false);
  pb1_->setVisible(false);
  create_ = Button(this, "btnTest", "创建(&C)", 28);
  ok_ = Button(this, "btnOk", "确定(&O)", 142);
  cancel_ = Button(this, "btnCancel", "取消(&X)", 228);

  connect(create_, &QPushButton::clicked, this, [this] { Create(); });
  connect(ok_, &QPushButton::clicked, this, [this] { Ok(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
  // The dialog sees F1 before its fields do.
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, [this] {
    Collect();
    Guarded([this] { form_->ShowHelp(); });
  });
}

DBConfigDialog::~DBConfigDialog() = default;

void DBConfigDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Guarded([this] { form_->FormShow(); });
  Refresh();
}

void DBConfigDialog::Collect() {
  form_->cbbServer = FromQt(server_->currentText());
  form_->edtDBName = FromQt(database_->text());
  form_->edtUserName = FromQt(user_->text());
  form_->edtPassword = FromQt(password_->text());
}

void DBConfigDialog::Refresh() {
  server_->setEditText(ToQt(form_->cbbServer));
  database_->setText(ToQt(form_->edtDBName));
  user_->setText(ToQt(form_->edtUserName));
  password_->setText(ToQt(form_->edtPassword));
  pb1_->setVisible(form_->pb1Visible);
}

void DBConfigDialog::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowUncaughtError(ui_, e);
  }
}

void DBConfigDialog::SetButtonsEnabled(bool enabled) {
  create_->setEnabled(enabled);
  ok_->setEnabled(enabled);
  cancel_->setEnabled(enabled);
}

void DBConfigDialog::Create() {
  if (creating_) return;
  Collect();
  creating_ = true;
  SetButtonsEnabled(false);
  Guarded([this] { form_->btnTestClick(); });
  creating_ = false;
  SetButtonsEnabled(true);
  Refresh();
  if (form_->modalResult == TfrmDBConfig::Result::kOk) accept();
}

void DBConfigDialog::Ok() {
  if (creating_) return;
  Collect();
  Guarded([this] { form_->btnOkClick(); });
  if (form_->modalResult == TfrmDBConfig::Result::kOk) accept();
}

void DBConfigDialog::reject() {
  if (creating_) return;
  form_->btnCancelClick();
  QDialog::reject();
}

bool RunSetupDialog(Ui& ui, TConfigFile& config) {
  DBConfigDialog dialog(ui, config);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace ab
