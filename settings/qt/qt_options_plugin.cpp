#include "settings/qt/qt_options_plugin.h"

#include <QApplication>

#include "settings/qt/application_call.h"
#include "settings/qt/message_boxes.h"
#include "settings/qt/sip_credentials_dialog.h"
#include "settings/qt/sip_options_sheet.h"
#include "settings/qt/toolkit_application.h"

namespace talvenor::view {

namespace {

constexpr int kNotShown = -1;
constexpr const char* kApplicationWentFirst = "the dialog toolkit ended before the dialog was shown";
constexpr const char* kNoWidgets = "the host's application has no widgets";

}  // namespace

int QtOptionsPlugin::RunSheet(OptionsPages& pages, std::string& why) {
  try {
    std::unique_lock lock(ApplicationLock());
    if (QCoreApplication* running = QCoreApplication::instance()) {
      QApplication* app = RunningApplication();
      if (app == nullptr) {
        why = kNoWidgets;
        return kNotShown;
      }
      if (OnApplicationThread(*running)) {
        lock.unlock();
        return RunSheetHere(pages);
      }
      int result = CallOnApplicationThread<int>(*app, lock, [this, &pages] { return RunSheetHere(pages); }, kNotShown);
      if (result == kNotShown) why = kApplicationWentFirst;
      return result;
    }
    if (std::string missing = WhyNoDisplay(); !missing.empty()) {
      why = missing;
      return kNotShown;
    }
    // An application of our own for this run; other threads that find it
    // meanwhile post to it under the lock.
    std::unique_ptr<QApplication> own = MakeApplication();
    lock.unlock();
    int result = kNotShown;
    try {
      result = RunSheetHere(pages);
    } catch (const std::exception& failure) {
      why = failure.what();
    }
    lock.lock();
    own.reset();
    return result;
  } catch (const std::exception& failure) {
    why = failure.what();
    return kNotShown;
  }
}

int QtOptionsPlugin::RunSheetHere(OptionsPages& pages) {
  CSIPOptionsSheet sheet(pages, QApplication::activeModalWidget());
  QDialog* outer;
  {
    std::scoped_lock lock(sheetMutex_);
    outer = sheet_;
    sheet_ = &sheet;
    // Asked to close while the toolkit was still starting: it closes as
    // soon as it runs.
    if (closeRequested_) QMetaObject::invokeMethod(&sheet, "reject", Qt::QueuedConnection);
    closeRequested_ = false;
  }
  int result = sheet.exec() == QDialog::Accepted ? 1 : 0;
  {
    std::scoped_lock lock(sheetMutex_);
    sheet_ = outer;
    closeRequested_ = false;
  }
  return result;
}

void QtOptionsPlugin::CloseSheet() {
  std::scoped_lock lock(sheetMutex_);
  // The sheet is destroyed only after it has been taken out of sheet_.
  if (sheet_ != nullptr) {
    QMetaObject::invokeMethod(sheet_, "reject", Qt::QueuedConnection);
  } else {
    closeRequested_ = true;  // the sheet is on its way
  }
}

bool QtOptionsPlugin::AskCredentials(CredentialsPage& page) {
  try {
    std::unique_lock lock(ApplicationLock());
    QApplication* app = RunningApplication();
    if (app == nullptr) return false;
    if (OnApplicationThread(*app)) {
      lock.unlock();
      return AskCredentialsHere(page);
    }
    return CallOnApplicationThread<bool>(*app, lock, [this, &page] { return AskCredentialsHere(page); }, false);
  } catch (const std::exception&) {
    return false;
  }
}

bool QtOptionsPlugin::AskCredentialsHere(CredentialsPage& page) {
  CSIPCredentials dialog(page, QApplication::activeModalWidget());
  return dialog.exec() == QDialog::Accepted;
}

bool QtOptionsPlugin::ShowMessage(const std::string& text, int icon) {
  try {
    std::unique_lock lock(ApplicationLock());
    QApplication* app = RunningApplication();
    if (app == nullptr) return false;
    if (OnApplicationThread(*app)) {
      lock.unlock();
      ShowMessageBox(text, icon);
    } else {
      PostMessageBox(*app, text, icon);
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace talvenor::view
