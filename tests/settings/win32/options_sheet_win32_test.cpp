// talvenor-options.dll as the module uses it: loaded by name, its dialog
// templates holding the controls the pages' logic names, and its sheet run
// modally while a thread timer, served by the sheet's own message loop,
// plays the user one step per tick.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "settings/options_pages.h"
#include "settings/win32/resource_ids.h"

namespace talvenor {
namespace {

HMODULE OptionsLibrary() {
  static HMODULE library = LoadLibraryW(L"talvenor-options.dll");
  return library;
}

OptionsPlugin* Plugin() {
  HMODULE library = OptionsLibrary();
  if (library == nullptr) return nullptr;
  auto entry = reinterpret_cast<OptionsPluginEntry>(
      reinterpret_cast<void*>(GetProcAddress(library, kOptionsPluginEntry)));
  return entry != nullptr ? entry() : nullptr;
}

// Counts what the sheet asks and keeps the toolkit's messages; the Gateways
// page is refused at `refuseGateways`.
class CountingPages final : public OptionsPages {
public:
  int refuseGateways = kNoControl;
  int gatewayStores = 0;
  int addressStores = 0;
  std::string helpFile;
  std::vector<std::string> toolkitMessages;

  AddressForm LoadAddress() override { return {}; }
  Exchange StoreAddress(const AddressForm&) override {
    ++addressStores;
    return {};
  }
  std::string StoredAddress() override { return {}; }
  std::vector<std::string> AddressChoices() override { return {}; }
  GatewayForm LoadGateways() override { return {}; }
  Exchange StoreGateways(const GatewayForm&) override {
    ++gatewayStores;
    return refuseGateways == kNoControl ? Exchange{} : Exchange{false, refuseGateways};
  }
  GatewayForm ToggleRegistration(int, const GatewayForm& form, Exchange&) override { return form; }
  std::string HelpFile() override { return helpFile; }
  RegisterForm LoadRegister() override { return {}; }
  Exchange StoreRegister(const RegisterForm&) override { return {}; }
  VoipForm LoadVoip() override { return {}; }
  Exchange StoreVoip(const VoipForm&) override { return {}; }
  void SilenceSliderMoved(int) override {}
  void OpenList(ListFile) override {}
  void ShowToolkitMessage(const std::string& text) override { toolkitMessages.push_back(text); }
};

using Step = std::function<void(HWND sheet)>;

// The steps still to play; a thread timer carries no pointer of ours.
std::vector<Step>* pendingSteps = nullptr;
size_t nextStep = 0;

void CALLBACK PlayStep(HWND, UINT, UINT_PTR, DWORD) {
  HWND sheet = FindWindowW(nullptr, L"SIP Options");
  if (sheet == nullptr || pendingSteps == nullptr || nextStep >= pendingSteps->size()) return;
  // Counted first: a step may run a modal loop that plays the next ones.
  Step& step = (*pendingSteps)[nextStep++];
  step(sheet);
}

// RunSheet's result once the steps have been played, one per tick.
int RunSheetWith(OptionsPages& pages, std::vector<Step> steps) {
  pendingSteps = &steps;
  nextStep = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, &PlayStep);
  std::string why;
  int result = Plugin()->RunSheet(pages, why);
  KillTimer(nullptr, timer);
  pendingSteps = nullptr;
  EXPECT_GE(result, 0) << why;
  return result;
}

INT_PTR CALLBACK IgnoreAll(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class OptionsSheetWin32 : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(Plugin(), nullptr) << "talvenor-options.dll offers no dialogs";
    // Without a display (Wine with no X server) no window can be made.
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no window can be made here";
    DestroyWindow(probe);
  }
};

TEST_F(OptionsSheetWin32, TemplatesHoldEveryControlThePagesLogicNames) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  const std::pair<int, std::vector<int>> templates[] = {
      {IDD_SIP_GATEWAYS,
       {kRechargeButton, kGatewayAddressEdit, kGatewayAddressEdit + 2, kGatewayPrefixEdit, kGatewayPrefixEdit + 2,
        kGatewayCallerIdEdit, kGatewayCallerIdEdit + 2, kGatewayRegisteredCheck, kGatewayRegisteredCheck + 2}},
      {IDD_SIP_ADDRESS,
       {kAddressCombo, kSipPortEdit, kDisplayNameEdit, kLogCheck, kBanCheck, kLogListButton, kBanListButton}},
      {IDD_SIP_REGISTER, {kExpirationEdit}},
      {IDD_SIP_VOIP, {kPcmuCheck, kPcmaCheck, kGsmCheck, kG729Check, kRtpBasePortEdit, kSilenceSlider}},
      {IDD_SIP_CREDENTIALS, {kCredentialsUserIdEdit, kCredentialsPasswordEdit, IDOK, IDCANCEL}},
  };
  for (const auto& [dialogId, controlIds] : templates) {
    HWND dialog = CreateDialogParamW(OptionsLibrary(), MAKEINTRESOURCEW(dialogId), parent, &IgnoreAll, 0);
    ASSERT_NE(dialog, nullptr) << "dialog " << dialogId;
    for (int id : controlIds) EXPECT_NE(GetDlgItem(dialog, id), nullptr) << "dialog " << dialogId << ", control " << id;
    if (dialogId == IDD_SIP_GATEWAYS) {
      // A click on an R box is a command; the box must not tick itself.
      for (int r = 0; r < 3; ++r) {
        LONG style = GetWindowLongW(GetDlgItem(dialog, kGatewayRegisteredCheck + r), GWL_STYLE);
        EXPECT_EQ(style & BS_TYPEMASK, BS_CHECKBOX) << "row " << r;
      }
    }
    DestroyWindow(dialog);
  }
  DestroyWindow(parent);
}

TEST_F(OptionsSheetWin32, RefusedPageStaysCurrentWithTheNamedControlFocused) {
  CountingPages pages;
  pages.refuseGateways = kGatewayCallerIdEdit + 1;
  int current = -1;
  HWND focus = nullptr;
  HWND named = nullptr;
  int result = RunSheetWith(pages, {[](HWND sheet) { PropSheet_SetCurSel(sheet, nullptr, 1); },
                                    [&](HWND sheet) {
                                      HWND page = PropSheet_GetCurrentPageHwnd(sheet);
                                      current = PropSheet_HwndToIndex(sheet, page);
                                      named = GetDlgItem(page, kGatewayCallerIdEdit + 1);
                                      focus = GetFocus();
                                      Plugin()->CloseSheet();
                                    }});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(current, 0);
  EXPECT_NE(named, nullptr);
  EXPECT_EQ(focus, named);
  EXPECT_EQ(pages.gatewayStores, 1);  // Cancel stores nothing
}

TEST_F(OptionsSheetWin32, LeavingAPageAndOkStoreEachPageOnce) {
  CountingPages pages;
  int result = RunSheetWith(pages, {[](HWND sheet) { PropSheet_SetCurSel(sheet, nullptr, 1); },
                                    [](HWND sheet) { PropSheet_PressButton(sheet, PSBTN_OK); }});
  EXPECT_EQ(result, 1);
  EXPECT_EQ(pages.gatewayStores, 1);
  EXPECT_EQ(pages.addressStores, 1);
}

TEST_F(OptionsSheetWin32, CloseAskedBeforeTheSheetIsUpCancelsIt) {
  CountingPages pages;
  Plugin()->CloseSheet();
  // Should the close be lost, OK ends the sheet and the result tells.
  int result = RunSheetWith(pages, {[](HWND sheet) { PropSheet_PressButton(sheet, PSBTN_OK); }});
  EXPECT_EQ(result, 0);
}

TEST_F(OptionsSheetWin32, MessageFromAnotherThreadIsShownOnTheSheetsThread) {
  EXPECT_FALSE(Plugin()->ShowMessage("no sheet runs", 2));
  CountingPages pages;
  bool posted = false;
  DWORD shownOn = 0;
  RunSheetWith(pages, {[&](HWND) {
                         std::thread other([&] { posted = Plugin()->ShowMessage("from another thread", 2); });
                         other.join();
                       },
                       [&](HWND) {
                         // Played inside the message box's own loop.
                         if (HWND box = FindWindowW(nullptr, L"Talvenor")) {
                           shownOn = GetWindowThreadProcessId(box, nullptr);
                           PostMessageW(box, WM_COMMAND, IDOK, 0);
                         }
                       },
                       [](HWND) { Plugin()->CloseSheet(); }});
  EXPECT_TRUE(posted);
  EXPECT_EQ(shownOn, GetCurrentThreadId());
}

TEST_F(OptionsSheetWin32, RechargeWithoutItsHelpFileSaysSo) {
  CountingPages pages;
  pages.helpFile = "C:/nowhere/Nuvex.chm";
  RunSheetWith(pages, {[](HWND sheet) {
                         HWND page = PropSheet_GetCurrentPageHwnd(sheet);
                         SendMessageW(page, WM_COMMAND, MAKEWPARAM(kRechargeButton, BN_CLICKED),
                                      reinterpret_cast<LPARAM>(GetDlgItem(page, kRechargeButton)));
                       },
                       [](HWND) { Plugin()->CloseSheet(); }});
  EXPECT_EQ(pages.toolkitMessages, std::vector<std::string>{"Failed to launch help."});
}

}  // namespace
}  // namespace talvenor
