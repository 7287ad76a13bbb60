#include "launcher.h"

#include "boundedtext.h"
#include "fontinstaller.h"
#include "probes.h"
#include "resource.h"

#include <cstring>

namespace {

// Vietnamese in an 8-bit encoding that the "Vietnam" font draws; the bytes go
// to the control as they are. Split after \xF4 so that "c" is not read as
// part of the escape.
const char BrowserPromptMessage[] = "C\xE4n c\x85i IE 6.0 tr\x9F\xF4"
                                    "c khi c\x85i Lumenor CD 2001";
static_assert(sizeof BrowserPromptMessage == 44 + 1, "the message is 44 bytes");

// Internet Explorer 5.5, the oldest browser the product's setup accepts,
// although the message asks for 6.0.
const int OldestUsableBrowser = 55;
const int FirstNtFamilyCode = 4;

// Turns `path`, a copy of the launch directory, into the path of a program on
// the CD. When the launch directory is unknown or leaves no room for the
// name, `path` becomes empty: a relative or cut-off path could start the wrong
// program, so nothing is started from it.
void AppendProgramName(char* path, const char* relativePath) {
    if (path[0] == '\0' || !AppendText(path, MAX_PATH, relativePath))
        path[0] = '\0';
}

void StartProgram(const char* path) {
    if (path[0] != '\0')
        ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

BOOL StartFromLaunchDirectoryAndEnd(HWND dialog, const char* fileName) {
    AppendProgramName(LaunchDirectory, fileName);
    StartProgram(LaunchDirectory);
    EndDialog(dialog, 0);
    return TRUE;
}

void SetMessageFont(HWND dialog) {
    LOGFONTA font;
    memset(&font, 0, sizeof font);
    font.lfHeight = 12;
    CopyText(font.lfFaceName, sizeof font.lfFaceName, "Vietnam");
    HFONT handle = CreateFontIndirectA(&font);
    SendMessageA(GetDlgItem(dialog, IDC_MESSAGE), WM_SETFONT, reinterpret_cast<WPARAM>(handle), 1);
}

void CentreOnScreen(HWND dialog) {
    RECT rect;
    if (!GetWindowRect(dialog, &rect))
        return;
    // Integer division truncates toward zero, also for a dialog larger than the screen.
    int x = (rect.left + GetSystemMetrics(SM_CXSCREEN) - rect.right) / 2;
    int y = (rect.top + GetSystemMetrics(SM_CYSCREEN) - rect.bottom) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// FALSE: no control gets the focus, so the dialog manager sets none either.
BOOL ShowBrowserPrompt(HWND dialog) {
    AppendProgramName(BrowserSetupPath, "Software\\IE6\\IE6Setup.exe");
    SetDlgItemTextA(dialog, IDC_MESSAGE, BrowserPromptMessage);
    SetDlgItemTextA(dialog, IDOK, "&Install IE6");
    CentreOnScreen(dialog);
    return FALSE;
}

BOOL OnInitDialog(HWND dialog) {
    char installedPath[MAX_PATH];
    if (IsProductInstalled(installedPath)) {
        bool ntFamily = GetOsVersionCode() >= FirstNtFamilyCode;
        return StartFromLaunchDirectoryAndEnd(dialog, ntFamily ? "UScrivo.exe" : "Scrivo.exe");
    }
    InstallManifestFonts();
    SetMessageFont(dialog);
    int browserVersion = GetBrowserVersion();
    CopyText(BrowserSetupPath, MAX_PATH, LaunchDirectory);
    if (browserVersion < OldestUsableBrowser)
        return ShowBrowserPrompt(dialog);
    return StartFromLaunchDirectoryAndEnd(dialog, "LumoScrivoStart.exe");
}

BOOL OnCommand(HWND dialog, int id) {
    if (id == IDOK) {
        ShowWindow(dialog, SW_HIDE);
        StartProgram(BrowserSetupPath);
        EndDialog(dialog, 0);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, 0);
    }
    return FALSE;
}

} // namespace

INT_PTR CALLBACK LauncherDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_SYSCOMMAND:
        // Compared whole, low four bits included. A close command carrying
        // flags there still ends the dialog: the dialog manager turns the
        // WM_CLOSE that follows into IDCANCEL.
        if (wParam == SC_CLOSE)
            EndDialog(dialog, 0);
        return FALSE;
    }
    return FALSE;
}
