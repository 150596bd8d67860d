#include "settings/qt/message_boxes.h"

#include <QMessageBox>
#include <cstdio>
#include <memory>

#include "settings/qt/qt_text.h"

namespace talvenor::view {

namespace {

constexpr int kErrorIcon = 0;
constexpr int kWarningIcon = 1;

const char* IconName(int icon) { return icon == kErrorIcon ? "error" : icon == kWarningIcon ? "warning" : "info"; }

// One posted message; written on standard error if it goes unshown.
struct PostedMessage {
  std::string text;
  int icon = 0;
  bool shown = false;
  ~PostedMessage() {
    if (!shown) std::fprintf(stderr, "talvenor (%s): %s\n", IconName(icon), text.c_str());
  }
};

}  // namespace

void ShowMessageBox(const std::string& text, int icon) {
  QWidget* parent = QApplication::activeModalWidget();
  if (parent == nullptr) parent = QApplication::activeWindow();
  const QString title = QStringLiteral("Talvenor");
  if (icon == kErrorIcon) {
    QMessageBox::critical(parent, title, ToQt(text));
  } else if (icon == kWarningIcon) {
    QMessageBox::warning(parent, title, ToQt(text));
  } else {
    QMessageBox::information(parent, title, ToQt(text));
  }
}

void PostMessageBox(QApplication& app, const std::string& text, int icon) {
  auto message = std::make_shared<PostedMessage>();
  message->text = text;
  message->icon = icon;
  QMetaObject::invokeMethod(
      &app,
      [message] {
        message->shown = true;
        ShowMessageBox(message->text, message->icon);
      },
      Qt::QueuedConnection);
}

}  // namespace talvenor::view
