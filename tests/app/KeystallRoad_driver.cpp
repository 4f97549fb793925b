// Drives Keystall.exe as a person would, on the emulated token beside it:
// types the requisites into the fields (Enter to the next one), presses
// Generate, answers the PIN box, the success box and the save dialog. The
// request lands in the current folder; subject.txt beside it holds the
// subject OpenSSL should print, one "name=value" line each in UTF-8, for
// CheckKeystallRoad.cmake, which checks the request on the host.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <vector>

#include "FormsTestKit.h"
#include "common/uutf8.h"
#include "rtl/SysUtils.h"

namespace {

struct TRequisite {
  const char* Typed;
  const char* SubjectName;  // as OpenSSL prints it; null: not in the subject
  const char* InSubject;    // when it differs from what was typed
};

// In the fields' tab order, from the surname on.
const TRequisite Requisites[] = {
    {"Иванов", "SN", nullptr},
    {"Иван", nullptr, nullptr},
    {"Иванович", "GN", "Иван Иванович"},
    {"11223344595", "SNILS", nullptr},
    {"ivanov@romashka.ru", "emailAddress", nullptr},
    {"Генеральный директор", "title", nullptr},
    {"77 г. Москва", "ST", nullptr},
    {"Москва", "L", nullptr},
    {"ул. Тверская, д. 1", "street", nullptr},
    {"ООО Ромашка", "O", nullptr},
    {"Бухгалтерия", "OU", nullptr},
    {"1027700132195", "OGRN", nullptr},
    // Padded to 12 digits when the field is left.
    {"7707083893", "INN", "007707083893"},
    {"770701001", nullptr, nullptr},
};

struct TWindowQuery {
  DWORD Pid;
  std::function<bool(HWND)> Match;
  HWND Found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND Wnd, LPARAM Data) {
  auto* Query = reinterpret_cast<TWindowQuery*>(Data);
  DWORD Pid = 0;
  GetWindowThreadProcessId(Wnd, &Pid);
  if (Pid != Query->Pid || !IsWindowVisible(Wnd) || !Query->Match(Wnd)) return TRUE;
  Query->Found = Wnd;
  return FALSE;
}

AnsiString TextOf(HWND Wnd) {
  char Buffer[1024] = {};
  DWORD_PTR Ignored = 0;
  SendMessageTimeoutA(Wnd, WM_GETTEXT, sizeof Buffer, reinterpret_cast<LPARAM>(Buffer),
                      SMTO_ABORTIFHUNG, 2000, &Ignored);
  return Buffer;
}

AnsiString ClassOf(HWND Wnd) {
  char Name[64] = {};
  GetClassNameA(Wnd, Name, sizeof Name);
  return Name;
}

bool WaitFor(const std::function<bool()>& Done, int TimeoutMs = 15000) {
  for (DWORD Start = GetTickCount(); !Done(); Sleep(50))
    if (static_cast<int>(GetTickCount() - Start) > TimeoutMs) return false;
  return true;
}

// A visible top-level window of the program whose title starts so.
HWND WaitForWindow(DWORD Pid, const AnsiString& Title) {
  TWindowQuery Query{Pid, [&](HWND Wnd) { return TextOf(Wnd).starts_with(Title); }};
  WaitFor([&] {
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&Query));
    return Query.Found != nullptr;
  });
  return Query.Found;
}

BOOL CALLBACK CollectWindow(HWND Wnd, LPARAM Data) {
  reinterpret_cast<std::vector<HWND>*>(Data)->push_back(Wnd);
  return TRUE;
}

std::vector<HWND> Descendants(HWND Parent) {
  std::vector<HWND> Found;
  EnumChildWindows(Parent, CollectWindow, reinterpret_cast<LPARAM>(&Found));
  return Found;
}

HWND FocusOf(DWORD Thread) {
  GUITHREADINFO Info{};
  Info.cbSize = sizeof Info;
  return GetGUIThreadInfo(Thread, &Info) ? Info.hwndFocus : nullptr;
}

void Click(HWND Wnd, int X, int Y) {
  PostMessageA(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
  PostMessageA(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
}

class KeystallRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    char Folder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, Folder);
    Here = IncludeTrailingPathDelimiter(Folder);
    SetEnvironmentVariableA("TVEMU_STATE", (Here + "token.state").c_str());
    SetEnvironmentVariableA("TVEMU_JOURNAL", (Here + "journal.txt").c_str());
    SetEnvironmentVariableA("TVEMU_CONFIG", nullptr);
    AnsiString Exe = ExtractFilePath(ExeFileName()) + "Keystall.exe";
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    ASSERT_TRUE(CreateProcessA(Exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, Folder,
                               &Startup, &Process))
        << Exe;
  }
  void TearDown() override {
    if (Main) PostMessageA(Main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(Process.hProcess, 15000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "Keystall did not end";
      TerminateProcess(Process.hProcess, 1);
    }
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
  }
  DWORD Pid() const { return Process.dwProcessId; }
  DWORD Thread() const { return Process.dwThreadId; }
  // Presses Enter (a dropped-down list takes the first one) until the
  // focus leaves the field.
  bool EnterToTheNextField(HWND Field) {
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
      KeepInFront();
      PressKey(VK_RETURN);
      if (WaitFor(
              [&] {
                HWND Now = FocusOf(Thread());
                return Now && Now != Field;
              },
              1500))
        return true;
    }
    return false;
  }
  // Keys go to the foreground window: another program's window that came
  // up meanwhile must not get them.
  void KeepInFront() {
    DWORD Owner = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &Owner);
    if (Owner == Pid()) return;
    SetForegroundWindow(Main);
    WaitFor([&] { return GetForegroundWindow() == Main; }, 2000);
  }
  void Answer(HWND Box, WORD Key) {
    SetForegroundWindow(Box);
    WaitFor([&] { return GetForegroundWindow() == Box; }, 2000);
    PressKey(Key);
  }

  AnsiString Here;
  PROCESS_INFORMATION Process{};
  HWND Main = nullptr;
};

TEST_F(KeystallRoad, RequisitesTypedGenerateAndSave) {
  Main = WaitForWindow(Pid(), "Генерация запроса на сертификат");
  ASSERT_TRUE(Main) << "the main form did not come up";
  SetForegroundWindow(Main);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == Main; }));

  // The surname is the edit nearest the top left of the request page.
  HWND Page = nullptr, First = nullptr;
  RECT Best{};
  for (HWND Wnd : Descendants(Main)) {
    if (TextOf(Wnd) == "&1. Генерация ключа и запроса на сертификат") Page = Wnd;
    RECT R;
    if (!IsWindowVisible(Wnd) || ClassOf(Wnd) != "Edit" || !GetWindowRect(Wnd, &R)) continue;
    if (!First || R.top < Best.top || (R.top == Best.top && R.left < Best.left)) {
      First = Wnd;
      Best = R;
    }
  }
  ASSERT_TRUE(Page && First);
  Click(First, 5, 5);
  ASSERT_TRUE(WaitFor([&] { return FocusOf(Thread()) == First; }));

  for (const TRequisite& R : Requisites) {
    HWND Field = FocusOf(Thread());
    KeepInFront();
    TypeUnicode(R.Typed);
    ASSERT_TRUE(WaitFor([&] { return TextOf(Field) == R.Typed; }, 5000))
        << R.Typed << ": the field shows " << TextOf(Field) << " class " << ClassOf(Field);
    ASSERT_TRUE(EnterToTheNextField(Field)) << R.Typed;
  }

  // Generate: the bold button under the fields, drawn on the page.
  Click(Page, 200, 410);
  HWND Pin = WaitForWindow(Pid(), "Укажите пин-код");
  ASSERT_TRUE(Pin) << "no PIN box";
  bool PinShown = false;
  for (HWND Wnd : Descendants(Pin)) PinShown |= TextOf(Wnd) == "40715382";
  EXPECT_TRUE(PinShown) << "the factory PIN is offered";
  Answer(Pin, VK_RETURN);

  HWND Done = WaitForWindow(Pid(), "Информация");
  ASSERT_TRUE(Done) << "no success box";
  bool Said = false;
  for (HWND Wnd : Descendants(Done))
    Said |= TextOf(Wnd) == "Запрос на сертификат успешно сформирован !";
  EXPECT_TRUE(Said);
  Answer(Done, VK_RETURN);

  HWND Save = WaitForWindow(Pid(), "Укажите имя файла для сохранения запроса");
  ASSERT_TRUE(Save) << "no save dialog";
  AnsiString Proposed;
  HWND Name = nullptr;
  for (HWND Wnd : Descendants(Save))
    if (ClassOf(Wnd) == "Edit" && TextOf(Wnd).starts_with("007707083893_")) {
      Name = Wnd;
      Proposed = TextOf(Wnd);
    }
  ASSERT_EQ(Proposed.size(), 32u) << "INN_yyyymmdd_hhnnss.req: " << Proposed;
  // The dialog opens where this program saved last time; the name typed
  // with its folder puts the file here.
  SetForegroundWindow(Save);
  ASSERT_TRUE(WaitFor([&] { return FocusOf(Thread()) == Name; }));
  SendMessageA(Name, EM_SETSEL, 0, -1);
  TypeUnicode((Here + Proposed).c_str());
  ASSERT_TRUE(WaitFor([&] { return TextOf(Name) == Here + Proposed; }));
  Answer(Save, VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return FileExists(Here + Proposed); })) << Here + Proposed;

  std::ofstream Subject("subject.txt", std::ios::binary);
  Subject << "CN=" << WideToUtf8(AnsiToWide("ООО Ромашка")) << "\nC=RU\n";
  for (const TRequisite& R : Requisites)
    if (R.SubjectName)
      Subject << R.SubjectName << "=" << WideToUtf8(AnsiToWide(R.InSubject ? R.InSubject : R.Typed))
              << "\n";
}

}  // namespace
