// talvenor-options-shots DIR: pictures of the "SIP Options" sheet's four
// pages and of the "SIP Credentials" dialog, drawn offscreen over a profile
// with a filled-in gateway account. The settings are loaded the way the
// module loads them at start-up, without opening its socket.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "config/module_settings.h"
#include "media/g729_library.h"
#include "module/g729_probe.h"
#include "module/sip_module.h"
#include "platform/profile_store.h"
#include "registration/gateway_accounts.h"
#include "settings/address_settings.h"
#include "settings/gateway_settings.h"
#include "settings/options_logic.h"
#include "settings/qt/sip_credentials_dialog.h"
#include "settings/qt/sip_options_sheet.h"
#include "settings/register_settings.h"
#include "settings/voip_settings.h"

namespace {

const std::vector<std::pair<std::string, std::string>> kProfile = {
    {"GW", "0"},
    {"GW0", "1, sip.example.net:5060, 00, 5551234, alice, secret"},
    {"GW1", "0, 192.0.2.10:5070, 9, 5550100, bob, hunter2"},
    {"Address", "192.0.2.5"},
    {"Name", "Alice"},
    {"Port", "1,1,5060"},
    {"Register", "1,1,0,3600"},
    {"VoIP", "1,1,1,0,400,8000"},
};

bool WriteProfile() {
  for (const auto& [entry, value] : kProfile) {
    if (!talvenor::ModuleProfile().WriteString(entry, value)) return false;
  }
  return true;
}

void LoadSettings() {
  talvenor::ProbeG729Library(talvenor::DefaultG729Candidates());
  talvenor::LoadAddressSettings(talvenor::Settings());
  talvenor::LoadRegisterSettings(talvenor::Settings());
  {
    std::scoped_lock lock(talvenor::TheModule().ModuleLock());
    talvenor::LoadGatewaySettings(talvenor::Settings(), talvenor::TheModule().Gateways());
  }
  talvenor::LoadVoipSettings(talvenor::Settings());
}

bool Save(QWidget& widget, const QDir& folder, const char* name) {
  QApplication::processEvents();
  QString path = folder.filePath(QString::fromLatin1(name));
  if (widget.grab().save(path)) return true;
  std::fprintf(stderr, "talvenor-options-shots: cannot write %s\n", path.toLocal8Bit().constData());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: talvenor-options-shots DIR\n");
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;  // a fresh configuration folder, removed at the end
  if (!config.isValid() || !qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path())) || !WriteProfile()) {
    std::fprintf(stderr, "talvenor-options-shots: cannot make a profile\n");
    return 1;
  }
  QApplication app(argc, argv);
  QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "talvenor-options-shots: cannot make %s\n", argv[1]);
    return 1;
  }
  LoadSettings();

  bool saved = true;
  {
    talvenor::view::CSIPOptionsSheet sheet(talvenor::ModuleOptionsPages());
    sheet.show();
    const char* names[] = {"gateways.png", "address.png", "register.png", "voip.png"};
    for (int index = 0; index < 4; ++index) {
      sheet.Tabs()->setCurrentIndex(index);
      saved = Save(sheet, folder, names[index]) && saved;
    }
  }
  {
    talvenor::CredentialsLogic logic("sip.example.net:5060", "alice", "secret");
    talvenor::view::CSIPCredentials credentials(logic);
    credentials.show();
    saved = Save(credentials, folder, "credentials.png") && saved;
  }
  {
    std::scoped_lock lock(talvenor::TheModule().ModuleLock());
    talvenor::TheModule().Gateways().DestroyAll();
  }
  talvenor::WithdrawG729Library();
  return saved ? 0 : 1;
}
