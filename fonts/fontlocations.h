// Where the running system keeps its fonts: the fonts directory, and the
// registry key under HKEY_LOCAL_MACHINE that records the installed fonts.
#pragma once

#include "platform.h"

class FontLocations {
  public:
    FontLocations();
    virtual ~FontLocations();

    int NtFamily;
    char WindowsDirectory[MAX_PATH];
    // Empty when the Windows directory leaves no room for "\FONTS\".
    char FontsDirectory[MAX_PATH];
    char FontsKeyPath[51];
};

// Built during static initialisation, before the entry point; only read afterwards.
extern FontLocations SystemFontLocations;
