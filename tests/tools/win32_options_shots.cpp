// talvenor-options-shots DIR (Windows): pictures of the "SIP Options"
// sheet's four pages and of the "SIP Credentials" dialog as
// talvenor-options.dll shows them, over fixed sample settings with a
// filled-in gateway account. The sheet runs modally on this thread; a thread
// timer, served by the sheet's own message loop, turns the pages and takes
// each picture from the window's drawing surface.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>

#include <cstdio>
#include <string>
#include <vector>

#include "settings/options_pages.h"

namespace {

using talvenor::Exchange;

// The settings of the pictures; a store keeps what the page gives.
class SamplePages final : public talvenor::OptionsPages {
public:
  SamplePages() {
    address_ = {"192.0.2.5", "5060", "Alice", true, true};
    gateways_.selected = 0;
    gateways_.rows[0] = {"sip.example.net:5060", "00", "5551234", true};
    gateways_.rows[1] = {"192.0.2.10:5070", "9", "5550100", false};
    register_ = {true, true, false, "3600"};
    voip_ = {true, true, true, false, true, 400, "8000"};
  }

  talvenor::AddressForm LoadAddress() override { return address_; }
  Exchange StoreAddress(const talvenor::AddressForm& form) override { return Keep(address_, form); }
  std::string StoredAddress() override { return address_.address; }
  std::vector<std::string> AddressChoices() override { return {"192.0.2.5"}; }
  talvenor::GatewayForm LoadGateways() override { return gateways_; }
  Exchange StoreGateways(const talvenor::GatewayForm& form) override { return Keep(gateways_, form); }
  talvenor::GatewayForm ToggleRegistration(int, const talvenor::GatewayForm& form, Exchange&) override {
    return form;
  }
  std::string HelpFile() override { return {}; }
  talvenor::RegisterForm LoadRegister() override { return register_; }
  Exchange StoreRegister(const talvenor::RegisterForm& form) override { return Keep(register_, form); }
  talvenor::VoipForm LoadVoip() override { return voip_; }
  Exchange StoreVoip(const talvenor::VoipForm& form) override { return Keep(voip_, form); }
  void SilenceSliderMoved(int position) override { voip_.silence = position; }
  void OpenList(talvenor::ListFile) override {}
  void ShowToolkitMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }

private:
  template <typename Form>
  static Exchange Keep(Form& kept, const Form& form) {
    kept = form;
    return {};
  }

  talvenor::AddressForm address_;
  talvenor::GatewayForm gateways_;
  talvenor::RegisterForm register_;
  talvenor::VoipForm voip_;
};

class SampleCredentials final : public talvenor::CredentialsPage {
public:
  talvenor::CredentialsForm Load() override { return {"sip.example.net:5060", "alice", "secret"}; }
  Exchange Store(const talvenor::CredentialsForm&) override { return {}; }
};

bool PngEncoder(CLSID& encoder) {
  UINT count = 0;
  UINT bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<unsigned char> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT index = 0; index < count; ++index) {
    if (lstrcmpW(codecs[index].MimeType, L"image/png") == 0) {
      encoder = codecs[index].Clsid;
      return true;
    }
  }
  return false;
}

// The window's client area as it is drawn now; the frame is left out, as
// it is the window manager's and not the dialog's.
bool SaveWindow(HWND window, const std::wstring& path) {
  RECT client{};
  if (!GetClientRect(window, &client)) return false;
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  HDC source = GetDC(window);
  if (source == nullptr) return false;
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BOOL copied = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
  ReleaseDC(window, source);
  bool saved = false;
  CLSID png{};
  if (copied && PngEncoder(png)) {
    Gdiplus::Bitmap image(bitmap, nullptr);
    saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
  }
  DeleteObject(bitmap);
  return saved;
}

void ShowAtCorner(HWND window) {
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

struct Shots {
  talvenor::OptionsPlugin* plugin = nullptr;
  std::wstring folder;
  UINT_PTR timer = 0;
  int step = 0;
  bool saved = true;
};
Shots shots;  // the timer procedure's state: a thread timer carries no pointer

constexpr const wchar_t* kPageFiles[] = {L"gateways.png", L"address.png", L"register.png", L"voip.png"};
constexpr int kPages = 4;
constexpr UINT kStepMs = 300;

void Save(HWND window, const wchar_t* name) {
  std::wstring path = shots.folder + L"\\" + name;
  if (window != nullptr && SaveWindow(window, path)) return;
  std::fwprintf(stderr, L"talvenor-options-shots: cannot write %ls\n", path.c_str());
  shots.saved = false;
}

// One step per tick: even steps turn to a page, odd ones take its picture
// once it has been drawn; then the credentials dialog, then Cancel.
void CALLBACK Step(HWND, UINT, UINT_PTR, DWORD) {
  HWND sheet = FindWindowW(nullptr, L"SIP Options");
  if (sheet == nullptr) return;  // not up yet
  const int step = shots.step;
  if (step < 2 * kPages) {
    ++shots.step;
    if (step % 2 == 0) {
      SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(step / 2), 0);
      ShowAtCorner(sheet);
    } else {
      Save(sheet, kPageFiles[step / 2]);
    }
  } else if (step == 2 * kPages) {
    ++shots.step;
    SampleCredentials credentials;
    shots.plugin->AskCredentials(credentials);  // the next ticks run inside it
    if (shots.step == 2 * kPages + 1) {
      std::fprintf(stderr, "talvenor-options-shots: the credentials dialog did not show\n");
      shots.saved = false;
      shots.step = 2 * kPages + 3;
    }
  } else if (step == 2 * kPages + 1) {
    HWND dialog = FindWindowW(nullptr, L"SIP Credentials");
    if (dialog == nullptr) return;
    ShowAtCorner(dialog);
    Save(dialog, L"credentials.png");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    shots.step = 2 * kPages + 3;  // what comes after AskCredentials returns
  } else if (step >= 2 * kPages + 3) {
    KillTimer(nullptr, shots.timer);
    shots.plugin->CloseSheet();
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: talvenor-options-shots DIR\n");
    return 2;
  }
  shots.folder = argv[1];
  CreateDirectoryW(shots.folder.c_str(), nullptr);
  HMODULE library = LoadLibraryW(L"talvenor-options.dll");
  auto entry = library != nullptr ? reinterpret_cast<talvenor::OptionsPluginEntry>(
                                        reinterpret_cast<void*>(GetProcAddress(library, talvenor::kOptionsPluginEntry)))
                                  : nullptr;
  shots.plugin = entry != nullptr ? entry() : nullptr;
  if (shots.plugin == nullptr) {
    std::fprintf(stderr, "talvenor-options-shots: talvenor-options.dll offers no dialogs\n");
    return 1;
  }
  Gdiplus::GdiplusStartupInput startup;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &startup, nullptr) != Gdiplus::Ok) {
    std::fprintf(stderr, "talvenor-options-shots: GDI+ does not start\n");
    return 1;
  }
  SamplePages pages;
  shots.timer = SetTimer(nullptr, 0, kStepMs, &Step);
  std::string why;
  int result = shots.plugin->RunSheet(pages, why);
  KillTimer(nullptr, shots.timer);
  Gdiplus::GdiplusShutdown(token);
  if (result < 0) {
    std::fprintf(stderr, "talvenor-options-shots: %s\n", why.c_str());
    return 1;
  }
  if (shots.step < 2 * kPages + 3) shots.saved = false;
  return shots.saved ? 0 : 1;
}
