// The program that both floor programs start: the NT family's build of the
// product's main program, in the floor program's own folder.
#pragma once

#include <windows.h>

// 1 and the full path in `path` (MAX_PATH bytes); 0 when it does not fit.
inline int TargetPath(HINSTANCE instance, char* path) {
    static const char name[] = "UScrivo.exe";
    DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    while (length > 0 && path[length - 1] != '\\')
        length--;
    if (length + sizeof name > MAX_PATH)
        return 0;
    lstrcpyA(path + length, name);
    return 1;
}
