// The bare floor of the decision latency: a program that does nothing but
// find its own folder and start the product's main program from it, as the
// launcher does when the product is installed.
#include <windows.h>
#include <shellapi.h>

#include "floor_target.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH];
    if (TargetPath(instance, path))
        ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
    return 1;
}
