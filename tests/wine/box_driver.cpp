// Test helper that plays the user: finds the box of quenwick.exe, describes it on standard output
// as one JSON line (caption, text, buttons, default button, screen rectangle), and presses a
// button. Usage: box_driver.exe [button id to press, 1 OK, 6 Yes, 7 No, or 0 for none] [caption,
// for a dialog of another program]. Exits 1 when no box appears.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <initializer_list>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length,
                      nullptr, nullptr);
  return utf8;
}

std::string JsonString(const std::wstring& text) {
  std::string json = "\"";
  for (const char c : Utf8(text)) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::wstring WindowText(HWND window) {
  wchar_t text[4096] = L"";
  GetWindowTextW(window, text, 4096);
  return text;
}

// The box once it is on screen, or null after 20 seconds without one.
HWND WaitForBox(const wchar_t* caption) {
  for (int tries = 0; tries < 400; ++tries) {
    const HWND box = FindWindowW(L"#32770", caption);
    if (box != nullptr && IsWindowVisible(box)) return box;
    Sleep(50);
  }
  return nullptr;
}

std::string Describe(HWND box) {
  std::string buttons;
  int defaultButton = 0;
  for (const int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
    const HWND button = GetDlgItem(box, id);
    if (button == nullptr || !IsWindowVisible(button)) continue;
    if (!buttons.empty()) buttons += ',';
    buttons += std::to_string(id);
    // The style, not DM_GETDEFID, which Wine's boxes leave at IDOK whatever their buttons.
    if ((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) defaultButton = id;
  }
  RECT area{};
  GetWindowRect(box, &area);
  return "{\"caption\":" + JsonString(WindowText(box)) +
         ",\"text\":" + JsonString(WindowText(GetDlgItem(box, 0xFFFF))) + ",\"buttons\":[" +
         buttons + "],\"default\":" + std::to_string(defaultButton) + ",\"rect\":[" +
         std::to_string(area.left) + "," + std::to_string(area.top) + "," +
         std::to_string(area.right) + "," + std::to_string(area.bottom) + "]}\n";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int answer = argc > 1 ? _wtoi(argv[1]) : 0;
  const HWND box = WaitForBox(argc > 2 ? argv[2] : L"Quenwick");
  const std::string description = box != nullptr ? Describe(box) : "null\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), description.data(),
            static_cast<DWORD>(description.size()), &written, nullptr);
  if (box == nullptr) return 1;
  if (answer != 0) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    // Gone before the next look, so that the same box is never described twice.
    for (int tries = 0; tries < 200 && IsWindow(box); ++tries) Sleep(50);
  }
  return 0;
}
