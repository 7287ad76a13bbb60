// A fresh stand-in machine with the launcher's dialog template, for the tests
// that run the launcher's entry point or its dialog procedure.
#pragma once

#include "launcher.h"
#include "pathrules.h"
#include "resource.h"
#include "standin.h"

#include <cstring>
#include <gtest/gtest.h>

class LauncherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetMachine();
    }
    void TearDown() override {
        standin::Reset();
        FixLeadByteSet();
    }

    // A fresh machine; table-driven tests call it before each row.
    virtual void ResetMachine() {
        standin::Reset();
        FixLeadByteSet();
        memset(LaunchDirectory, 0, sizeof LaunchDirectory);
        memset(BrowserSetupPath, 0, sizeof BrowserSetupPath);
        // The template's controls in their order, and its place in pixels
        // before any move (22, 17 dialog units at 8-point MS Sans Serif).
        standin::DefineDialog(IDD_LAUNCHER,
                              {{IDOK, "&Install"}, {IDC_MESSAGE, ""}, {-1, ""}, {IDCANCEL, "&Cancel"}},
                              {33, 28, 420, 111});
    }

    static int RunLauncher() {
        char commandLine[] = "";
        return WinMain(reinterpret_cast<HINSTANCE>(uintptr_t(0x400000)), nullptr, commandLine,
                       SW_SHOWNORMAL);
    }
};
