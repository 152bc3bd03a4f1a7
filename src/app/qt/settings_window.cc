#include "app/qt/settings_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <cstdio>

#include "app/qt/qt_text.h"
#include "app/qt/qt_ui.h"
#include "codec/base64.h"
#include "shell/main_window.h"
#include "shell/settings_screen.h"

namespace ab {
namespace {

template <typename W>
W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
  auto* widget = new W(parent);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(x, y, w, h);
  return widget;
}

QLabel* Label(QWidget* parent, const char* name, const char* text, int x, int y, int w) {
  auto* label = Make<QLabel>(parent, name, x, y, w, 22);
  label->setText(QString::fromUtf8(text));
  return label;
}

QPushButton* Button(QWidget* parent, const char* name, const char* text, int x, int y, int w,
                    int h = 25) {
  auto* button = Make<QPushButton>(parent, name, x, y, w, h);
  button->setText(QString::fromUtf8(text));
  button->setAutoDefault(false);
  return button;
}

// The key a key event types, as the window design's KeyPress handlers see it; 0 for keys that
// type nothing (arrows, Delete), which reach the field unfiltered.
char TypedKey(const QKeyEvent& key) {
  if (key.key() == Qt::Key_Backspace) return '\b';
  QString text = key.text();
  if (text.isEmpty()) return 0;
  QChar c = text.front();
  // Anything outside ASCII is no digit; '?' stands for it.
  return c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '?';
}

}  // namespace

SettingsWindow::SettingsWindow(TFormDiziUpdate& form, Ui& ui)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      form_(form),
      ui_(ui) {
  setObjectName(QStringLiteral("FormDiziUpdate"));
  setWindowTitle(QString::fromUtf8("自动备份"));
  setFixedSize(kClientWidth, kClientHeight);

  // The visible client area.
  Label(this, "Label1", "备份存放目录:", 16, 14, 88);
  path_ = Make<QLineEdit>(this, "edtPath", 104, 14, 232, 22);
  path_->setReadOnly(true);
  browse_ = Button(this, "btn10", "…", 340, 14, 28, 22);
  Label(this, "Label2", "自动备份间隔:", 16, 44, 88);
  interval_ = Make<QComboBox>(this, "cxComboBox1", 104, 44, 264, 22);
  for (const std::string& entry : IntervalEntries()) interval_->addItem(ToQt(entry));
  Label(this, "Label3", "备份保存天数:", 16, 74, 88);
  days_ = Make<QComboBox>(this, "cxComboBox2", 104, 74, 264, 22);
  days_->setEditable(true);
  days_->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& entry : RetentionEntries()) days_->addItem(ToQt(entry));
  progress_ = Make<QProgressBar>(this, "ProgressBar1", 16, 106, 352, 16);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  save_ = Button(this, "cxButton1", "保存设置", 16, 136, 100);
  backup_ = Button(this, "cxButton3", "立即备份", 142, 136, 100);
  hide_ = Button(this, "cxButton2", "隐藏(&H)", 268, 136, 100);

  // Below the visible client area: present in the design, out of the operator's sight.
  Label(this, "Label5", "本地编号:", 16, 190, 70);
  branch_ = Make<QLineEdit>(this, "cxTextEdit1", 90, 190, 120, 22);
  branch_->setEnabled(false);
  branch_->setAttribute(Qt::WA_InputMethodEnabled, false);
  branch_->installEventFilter(this);
  sync_time_ = Make<QCheckBox>(this, "Chk1", 220, 190, 160, 22);
  sync_time_->setText(QString::fromUtf8("与服务端时间自动同步"));
  sync_time_->setVisible(false);
  memo1_ = Make<QPlainTextEdit>(this, "Memo1", 16, 220, 170, 80);
  memo2_ = Make<QPlainTextEdit>(this, "Memo2", 198, 220, 170, 80);
  compress_ = Button(this, "cxButton5", "压缩", 16, 306, 75);
  decompress_ = Button(this, "cxButton4", "解压缩", 100, 306, 75);
  label4_ = Make<QLabel>(this, "Label4", 190, 306, 178, 22);

  connect(browse_, &QPushButton::clicked, this, [this] {
    Guarded([this] { form_.btn10Click(); });
    Refresh();
  });
  connect(interval_, qOverload<int>(&QComboBox::activated), this,
          [this](int index) { form_.screen.interval_index = index; });
  connect(days_, &QComboBox::editTextChanged, this,
          [this](const QString& text) { form_.screen.days_text = FromQt(text); });
  connect(branch_, &QLineEdit::textEdited, this,
          [this](const QString& text) { form_.screen.branch_number = FromQt(text); });
  connect(save_, &QPushButton::clicked, this,
          [this] { Guarded([this] { form_.cxButton1Click(); }); });
  connect(backup_, &QPushButton::clicked, this, [this] {
    Guarded([this] { form_.cxButton3Click(); });
    SyncState();
  });
  connect(hide_, &QPushButton::clicked, this,
          [this] { Guarded([this] { form_.cxButton2Click(); }); });
  connect(compress_, &QPushButton::clicked, this, [this] { Compress(); });
  connect(decompress_, &QPushButton::clicked, this, [this] { Decompress(); });

  Centre();
  Refresh();
}

void SettingsWindow::Refresh() {
  const SettingsScreen& s = form_.screen;
  QSignalBlocker block_interval(interval_);
  QSignalBlocker block_days(days_);
  path_->setText(ToQt(s.backup_path));
  // An index beyond the list selects nothing; the model keeps the stored value for "保存设置".
  interval_->setCurrentIndex(
      s.interval_index >= 0 && s.interval_index < interval_->count() ? s.interval_index : -1);
  days_->setEditText(ToQt(s.days_text));
  branch_->setText(ToQt(s.branch_number));
  SyncState();
}

void SettingsWindow::SyncState() { backup_->setEnabled(form_.backupButtonEnabled); }

void SettingsWindow::Centre() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect desktop = screen->availableGeometry();
  move(desktop.center() - QPoint(width() / 2, height() / 2));
}

void SettingsWindow::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowUncaughtError(ui_, e);
  }
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
  bool close = false;
  Guarded([&] { close = form_.FormCloseQuery(); });
  if (close) {
    event->accept();
    ui_.Quit();
  } else {
    event->ignore();
  }
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == branch_ && event->type() == QEvent::KeyPress) {
    char key = TypedKey(*static_cast<QKeyEvent*>(event));
    if (key != 0 && !form_.cxTextEdit1KeyPress(key)) return true;
  }
  return QWidget::eventFilter(watched, event);
}

void SettingsWindow::Compress() {
  memo1_->setPlainText(ToQt(Base64Encode(FromQtLines(memo2_->toPlainText()))));
}

void SettingsWindow::Decompress() {
  std::string text = FromQtLines(memo1_->toPlainText());
  size_t expected = Base64::DecodedSize(text);
  std::string decoded(expected + 1, '\0');
  size_t returned = Base64::Decode(text, decoded.data());
  decoded.resize(returned);
  memo2_->setPlainText(ToQt(decoded));
  char label[64];
  std::snprintf(label, sizeof label, gbk("预设:%d 返回:%d").c_str(), static_cast<int>(expected),
                static_cast<int>(returned));
  label4_->setText(ToQt(label));
}

}  // namespace ab
