// The floor of the work the launcher must do when the product is installed:
// run the launcher's own modal dialog template and start the product's main
// program from WM_INITDIALOG, ending the dialog before it shows. Only the
// launcher's probes of the registry and of the Windows version are missing.
#include <windows.h>
#include <shellapi.h>

#include "floor_target.h"
#include "resource.h"

namespace {

char targetPath[MAX_PATH];

INT_PTR CALLBACK FloorDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG)
        return FALSE;
    if (targetPath[0])
        ShellExecuteA(nullptr, "open", targetPath, nullptr, nullptr, SW_SHOWNORMAL);
    EndDialog(dialog, 0);
    return TRUE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    TargetPath(instance, targetPath);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LAUNCHER), nullptr, FloorDialogProc, 0);
    return 1;
}
