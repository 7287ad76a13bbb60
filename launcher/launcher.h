// The launcher: its entry point, the two path buffers that live for the whole
// run, and the dialog that takes the launch decision.
#pragma once

#include "platform.h"

// The directory the launcher was started from, ending in a separator; empty
// when the launcher's own path could not be read whole.
extern char LaunchDirectory[MAX_PATH];
extern char BrowserSetupPath[MAX_PATH];

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand);

INT_PTR CALLBACK LauncherDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
