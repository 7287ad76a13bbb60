// Installs the fonts that "fonts.dat" in the current directory lists, as the
// launcher does, and reports what an end-to-end test needs to see, one
// "name=value" line each:
//   nt_family=<0|1>
//   fonts_key=<the Fonts key path under HKEY_LOCAL_MACHINE>
//   fonts_directory=<the fonts directory>
//   before <family>=<found|missing>   for each family named on the command line
//   result=<what InstallManifestFonts returned>
//   after <family>=<found|missing>
// Built from the font installer's own sources against the real services, so
// that the lines show what the launcher does on the system it runs on. The
// look-ups before and after the install, in one process, show that it is this
// install that made a family known.
#include "fontinstaller.h"
#include "fontlocations.h"
#include "platform.h"

#include <cstdio>

namespace {

int CALLBACK NoteFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<int*>(found) = 1;
    return 0;
}

// Asked for by name, as a program that wants the font would ask.
int FamilyFound(const char* family) {
    LOGFONTA wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(wanted.lfFaceName, family, LF_FACESIZE);
    int found = 0;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExA(screen, &wanted, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

void ReportFamilies(const char* when, int count, char** families) {
    for (int i = 0; i < count; i++)
        printf("%s %s=%s\n", when, families[i], FamilyFound(families[i]) ? "found" : "missing");
}

} // namespace

int main(int argc, char** argv) {
    printf("nt_family=%d\n", SystemFontLocations.NtFamily);
    printf("fonts_key=%s\n", SystemFontLocations.FontsKeyPath);
    printf("fonts_directory=%s\n", SystemFontLocations.FontsDirectory);
    ReportFamilies("before", argc - 1, argv + 1);
    // A message box of the installer would wait for a click: what came before
    // it must already be out.
    fflush(stdout);
    printf("result=%d\n", InstallManifestFonts());
    ReportFamilies("after", argc - 1, argv + 1);
    return 0;
}
