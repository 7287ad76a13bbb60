// What the launch decision needs to know about the machine. Each asks the
// system afresh and folds every failure into its result.
#pragma once

// 0 Windows 95, 1 Windows 98, 2 Windows 98 SE, 3 Windows ME,
// 4 Windows NT 4.0, 5 Windows 2000, 6 Windows XP and later.
// Codes from 4 up are the NT family.
int GetOsVersionCode();

// The installed Internet Explorer's major version times ten plus the first
// digit of its minor version (5.5 gives 55); 0 when no version can be read.
int GetBrowserVersion();

// 1 when the product's installed path is recorded, else 0. `buffer` is the
// caller's MAX_PATH bytes, into which the recorded path is read.
int IsProductInstalled(char* buffer);
