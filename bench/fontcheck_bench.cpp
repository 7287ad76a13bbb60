// Times the check of a manifest of 20 fonts against Fonts keys of growing
// size. All 20 fonts are recorded, after every other value, so each check
// walks the whole key and nothing is copied: the cost measured is the
// manifest read and the look-ups alone.
//
//   fontcheck_bench ROUNDS VALUES...
//
// Runs in a folder of its own: it writes fonts.dat there. It adds its values
// under the Fonts key that the launcher would use and removes them again.
// Output, one line per run: VALUES TAB ROUND TAB MILLISECONDS
#include "fontinstaller.h"
#include "fontlocations.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

const int ManifestFonts = 20;

void ValueName(char* name, const char* prefix, int index) {
    wsprintfA(name, "%s %05d", prefix, index);
}

bool WriteManifest() {
    HANDLE file = CreateFileA("fonts.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (int i = 0; i < ManifestFonts && ok; i++) {
        char line[64];
        int length = wsprintfA(line, "zz Bench Font %05d,fonts\\bench%05d.ttf\r\n", i, i);
        DWORD written = 0;
        ok = WriteFile(file, line, DWORD(length), &written, nullptr) && written == DWORD(length);
    }
    CloseHandle(file);
    return ok;
}

// Filler values first, the manifest's fonts last: the key's enumeration
// order, by insertion or by name, puts them at the end either way.
bool FillKey(HKEY key, int values) {
    char name[32], data[32];
    for (int i = 0; i < values; i++) {
        ValueName(name, "Filler", i);
        wsprintfA(data, "filler%05d.ttf", i);
        if (RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                           DWORD(lstrlenA(data) + 1)) != ERROR_SUCCESS)
            return false;
    }
    for (int i = 0; i < ManifestFonts; i++) {
        ValueName(name, "zz Bench Font", i);
        wsprintfA(data, "BENCH%05d.TTF", i);
        if (RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                           DWORD(lstrlenA(data) + 1)) != ERROR_SUCCESS)
            return false;
    }
    return true;
}

void EmptyKey(HKEY key, int values) {
    char name[32];
    for (int i = 0; i < values; i++) {
        ValueName(name, "Filler", i);
        RegDeleteValueA(key, name);
    }
    for (int i = 0; i < ManifestFonts; i++) {
        ValueName(name, "zz Bench Font", i);
        RegDeleteValueA(key, name);
    }
}

// A font that the check missed would be copied, and its missing file would
// stop the run with a message box: make sure every one counts as installed.
bool AllRecorded() {
    for (int i = 0; i < ManifestFonts; i++) {
        char path[64];
        wsprintfA(path, "fonts\\bench%05d.ttf", i);
        if (!IsFontInstalled(path))
            return false;
    }
    return true;
}

double Now() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: fontcheck_bench ROUNDS VALUES...\n");
        return 2;
    }
    int rounds = atoi(argv[1]);
    HKEY key;
    if (!WriteManifest() ||
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, SystemFontLocations.FontsKeyPath, 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        fprintf(stderr, "fontcheck_bench: cannot prepare fonts.dat or the Fonts key\n");
        return 1;
    }
    int status = 0;
    for (int arg = 2; arg < argc && status == 0; arg++) {
        int values = atoi(argv[arg]);
        if (!FillKey(key, values) || !AllRecorded()) {
            fprintf(stderr, "fontcheck_bench: the Fonts key could not be filled\n");
            status = 1;
        }
        for (int round = 0; round < rounds && status == 0; round++) {
            double begin = Now();
            InstallManifestFonts();
            printf("%d\t%d\t%.3f\n", values, round, Now() - begin);
        }
        EmptyKey(key, values);
    }
    RegCloseKey(key);
    DeleteFileA("fonts.dat");
    return status;
}
