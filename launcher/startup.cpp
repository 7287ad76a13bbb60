#include "launcher.h"

#include "pathrules.h"
#include "resource.h"

char LaunchDirectory[MAX_PATH];
char BrowserSetupPath[MAX_PATH];

namespace {

// Reduces the launcher's own path to its directory. A path that does not fit
// MAX_PATH comes back cut off (and, on some systems, unterminated): it is
// never used, and the launch directory stays empty.
void FindLaunchDirectory(HINSTANCE instance) {
    DWORD length = GetModuleFileNameA(instance, LaunchDirectory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        LaunchDirectory[0] = '\0';
        return;
    }
    char drive[DriveBufferSize];
    char directory[ComponentBufferSize];
    SplitPath(LaunchDirectory, drive, directory, nullptr, nullptr);
    MakePath(LaunchDirectory, MAX_PATH, drive, directory, nullptr, nullptr);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The mutex is never closed: it marks this copy as running until it ends.
    CreateMutexA(nullptr, TRUE, "Start");
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return 1;
    FindLaunchDirectory(instance);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LAUNCHER), nullptr, LauncherDialogProc, 0);
    return 1;
}
