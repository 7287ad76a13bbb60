#include "fontlocations.h"

#include "boundedtext.h"

FontLocations SystemFontLocations;

namespace {

const char SetupKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
const char NtFontsKeyPath[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char NineXFontsKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts\\";

// Only the 9x family keeps a "SharedDir" with data under the Setup key. Only
// the size of its data is asked for, so its type plays no part.
int HasSharedDirectory() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SetupKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type;
    DWORD size = 2000;
    LONG status = RegQueryValueExA(key, "SharedDir", nullptr, &type, nullptr, &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && size != 0;
}

// A Windows directory that cannot be read, or that leaves no room for
// "\FONTS\", leaves the fonts directory empty: fonts are then installed
// nowhere rather than into a cut-off or relative path.
void FindFontsDirectory(char* windowsDirectory, char* fontsDirectory) {
    fontsDirectory[0] = '\0';
    // 0 on failure; the size it needs, terminator included, when it does not fit.
    UINT length = GetWindowsDirectoryA(windowsDirectory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        windowsDirectory[0] = '\0';
        return;
    }
    if (!CopyText(fontsDirectory, MAX_PATH, windowsDirectory) ||
        !AppendText(fontsDirectory, MAX_PATH, "\\FONTS\\"))
        fontsDirectory[0] = '\0';
}

} // namespace

FontLocations::FontLocations() {
    NtFamily = 1;
    if (HasSharedDirectory())
        NtFamily = 0;
    CopyText(FontsKeyPath, sizeof FontsKeyPath, NtFamily ? NtFontsKeyPath : NineXFontsKeyPath);
    FindFontsDirectory(WindowsDirectory, FontsDirectory);
}

FontLocations::~FontLocations() = default;
