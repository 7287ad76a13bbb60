// Reports what the system probes find on the system it runs on, as one line
//   os=<code> browser=<version> installed=<0|1>
// for the end-to-end tests, which arrange the Windows version and the
// registry beforehand. Built from the probes' own sources against the real
// services, so the line shows what the launcher would see.
#include "platform.h"
#include "probes.h"

#include <cstdio>

int main() {
    char installedPath[MAX_PATH];
    int installed = IsProductInstalled(installedPath);
    printf("os=%d browser=%d installed=%d\n", GetOsVersionCode(), GetBrowserVersion(), installed);
    return 0;
}
