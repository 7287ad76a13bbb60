#include "launcher.h"

// The launch decision is not built yet: the dialog ends as soon as it is created.
INT_PTR CALLBACK LauncherDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG)
        return FALSE;
    EndDialog(dialog, 0);
    return TRUE;
}
