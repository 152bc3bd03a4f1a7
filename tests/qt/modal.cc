#include "modal.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMetaObject>

namespace ab::testing {
namespace {

const char kHandled[] = "ab_test_handled";

}  // namespace

ModalScript::ModalScript() {
  timer_.setInterval(20);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start();
}

ModalScript::~ModalScript() {
  timer_.stop();
  EXPECT_TRUE(actions_.empty()) << actions_.size() << " expected modal window(s) never opened";
}

ModalScript& ModalScript::Then(Action action) {
  actions_.push_back(std::move(action));
  return *this;
}

void ModalScript::Poll() {
  if (actions_.empty()) return;
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || !modal->isVisible() || modal->property(kHandled).toBool()) return;
  modal->setProperty(kHandled, true);
  SeenModal seen;
  seen.kind = modal->metaObject()->className();
  seen.title = modal->windowTitle().toStdString();
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    seen.text = box->text().toStdString();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
  }
  seen_.push_back(seen);
  Action action = std::move(actions_.front());
  actions_.pop_front();
  action(modal);
}

void ClickLater(QAbstractButton* button) {
  QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
}

ModalScript::Action Answer(QMessageBox::StandardButton button) {
  return [button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr || box->button(button) == nullptr) {
      ADD_FAILURE() << "expected a message box with that button, got "
                    << modal->metaObject()->className() << " \""
                    << modal->windowTitle().toStdString() << "\"";
      QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
      return;
    }
    ClickLater(box->button(button));
  };
}

}  // namespace ab::testing
