#include "probes.h"

#include "platform.h"

#include <climits>
#include <cstring>

namespace {

const char BrowserKeyPath[] = "SOFTWARE\\Microsoft\\Internet Explorer";
const char BrowserVersionValue[] = "Version";
const DWORD BrowserVersionSize = 100;

const char ProductKeyPath[] = "SOFTWARE\\Lumenor Network\\Lumenor Scrivo\\2002";
const char ProductPathValue[] = "ProgramPath";

// The build field is compared whole: on the 9x family its high word carries
// the version (4.10 puts it above 67 million), so every Windows 98, first
// edition or second, lands above this and only a synthetic field reaches 1.
const DWORD LastWindows98Build = 2222;
const DWORD LastWindows2000Build = 2195;

// Any major version above this would overflow the result once multiplied.
const int LargestMajorVersion = (INT_MAX - 9) / 10;

int NtFamilyCode(const OSVERSIONINFOA& info) {
    if (info.dwMajorVersion < 5)
        return 4;
    return info.dwBuildNumber > LastWindows2000Build ? 6 : 5;
}

int WindowsFamilyCode(const OSVERSIONINFOA& info) {
    if (info.dwMinorVersion < 10)
        return 0;
    if (info.dwMinorVersion >= 90)
        return 3;
    return info.dwBuildNumber > LastWindows98Build ? 2 : 1;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// `size` is what the read returned: a value stored without a terminator may
// fill the buffer to its last byte, so nothing beyond it is looked at. A
// terminator inside the data ends the text like the end of the data does.
// Any other character that is not a digit ends the major version, as the
// point does in "5.50"; "5,5" therefore reads as 55.
int ParseBrowserVersion(const char* data, DWORD size) {
    DWORD end = 0;
    while (end < size && data[end] != '\0')
        end++;
    DWORD at = 0;
    int major = 0;
    while (at < end && IsDigit(data[at])) {
        major = major * 10 + (data[at] - '0');
        if (major > LargestMajorVersion)
            return 0;
        at++;
    }
    DWORD minorAt = at + 1;
    if (at == 0 || minorAt >= end || !IsDigit(data[minorAt]))
        return 0;
    return major * 10 + (data[minorAt] - '0');
}

} // namespace

int GetOsVersionCode() {
    // Zeroed, a failed call reads as platform 0 (Win32s) and takes its code
    // below rather than whatever the stack held.
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT)
        return NtFamilyCode(info);
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        return WindowsFamilyCode(info);
    // Win32s hosts 32-bit programs on Windows 3.1, where the NT-family build
    // cannot run; the 9x-family code is the one answer that does not send
    // such a system, or one whose version could not be read, to that build.
    return 0;
}

// KEY_READ, not full access: a limited account on the NT family may read
// these keys but not open them for writing, and must still see the product
// and the browser that are there.
int GetBrowserVersion() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, BrowserKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    char data[BrowserVersionSize];
    DWORD size = sizeof data;
    LONG status = RegQueryValueExA(key, BrowserVersionValue, nullptr, nullptr,
                                   reinterpret_cast<LPBYTE>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return 0;
    // A success never reports more than the buffer holds; the bound keeps a
    // system that did from sending the parse past it.
    return ParseBrowserVersion(data, size < sizeof data ? size : DWORD(sizeof data));
}

// Only the read's success counts: any type and any content that fits the
// caller's path buffer, empty data included, marks the product as installed.
int IsProductInstalled(char* buffer) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProductKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD size = MAX_PATH;
    LONG status = RegQueryValueExA(key, ProductPathValue, nullptr, nullptr,
                                   reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}
