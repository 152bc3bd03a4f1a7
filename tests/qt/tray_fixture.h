#pragma once
// Shared pieces of the tray tests: services with a scripted backup, widget lookup by the window
// design's names, and Config.xml read back from the disk.

#include <QApplication>
#include <QTest>
#include <functional>
#include <string>

#include "app/qt/tray_app.h"
#include "platform/file.h"
#include "platform/xml.h"

namespace ab::testing {

// A backup that counts its runs and how deeply they nest, and runs `during` inside each run.
struct FakeBackup {
  int runs = 0;
  int depth = 0;
  int max_depth = 0;
  std::function<void()> during;

  ServicesFactory Services() {
    return [this](Ui&) {
      ShellServices s;
      s.do_backup = [this](int32_t, const std::function<void(int, int)>& progress) {
        ++runs;
        max_depth = std::max(max_depth, ++depth);
        progress(4, 2);
        if (during) during();
        --depth;
        return true;
      };
      return s;
    };
  }
};

template <typename W>
W* Child(QWidget& parent, const char* name) {
  W* widget = parent.findChild<W*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << "no control named " << name;
  return widget;
}

// The text of `key` in `section` of the Config.xml at `path`, "<missing>" when absent.
inline std::string SavedKey(const std::string& path, const char* section, const char* key) {
  if (!FileExists(path)) return "<missing>";
  XmlDocument doc = XmlDocument::LoadFile(path);
  XmlElement e = doc.DocumentElement().Child(section).Child(key);
  return e ? e.Text() : "<missing>";
}

inline std::string Utf8(const QString& text) { return text.toStdString(); }

}  // namespace ab::testing
