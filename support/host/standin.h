// Control panel of the host stand-in: tests arrange the machine the launcher
// runs on (registry, Windows version, files, screen) and read back what it did
// (programs started, message boxes, fonts added, broadcasts, dialog state).
#pragma once

#include "platform.h"

#include <string>
#include <vector>

namespace standin {

// Back to a fresh machine: Windows XP, code page 1252, empty registry, nothing recorded.
void Reset();

// ---- Faults ------------------------------------------------------------------
// The nth call from now of `service` (its Win32 name, or "*" for any service)
// fails, and so do the `count - 1` calls after it.
void FailCall(const std::string& service, int nth = 1, int count = 1);
// Calls of `service` ("*" for all) since the last Reset.
int CallCount(const std::string& service);
// WriteFile reports success but writes only `bytes` of the nth write from now.
void ShortWrite(int nth, DWORD bytes);

// ---- Registry ----------------------------------------------------------------
struct RegistryValue {
    std::string name;
    DWORD type = REG_SZ;
    std::string data; // raw bytes
};
// Key paths are given without the root and are compared without regard to case;
// a trailing backslash names the same key.
void CreateKey(HKEY root, const std::string& path);
void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const std::string& data);
// A REG_SZ whose data is the text and its terminator.
void SetString(HKEY root, const std::string& path, const std::string& name,
               const std::string& text);
void DeleteKey(HKEY root, const std::string& path);
bool GetValue(HKEY root, const std::string& path, const std::string& name, RegistryValue* out);
std::vector<RegistryValue> Values(HKEY root, const std::string& path);
// Opening this key with any access beyond KEY_READ is refused, as for a limited account.
void DenyWriteAccess(HKEY root, const std::string& path);

struct KeyOpen {
    std::string path;
    REGSAM access;
    LONG result;
};
const std::vector<KeyOpen>& KeyOpens();
int OpenKeyHandles();

// ---- Kernel ------------------------------------------------------------------
void SetVersion(DWORD platform, DWORD major, DWORD minor, DWORD build);
void SetModulePath(const std::string& path);
void SetWindowsDirectory(const std::string& path);
void SetAnsiCodePage(UINT codePage);
// A mutex of this name already exists, as when another copy of the launcher runs.
void AddExistingMutex(const std::string& name);
bool MutexExists(const std::string& name);
int LiveAllocations();
int OpenFileHandles();

// ---- Shell, graphics, messages -------------------------------------------------
struct StartedProgram {
    std::string verb, file;
    bool hasParameters, hasDirectory;
    int showCommand;
    bool whileDialogVisible; // the launcher's dialog was on the screen when it started
};
const std::vector<StartedProgram>& StartedPrograms();

struct MessageBoxShown {
    std::string text, caption;
    UINT type;
    bool hasOwner;
};
const std::vector<MessageBoxShown>& MessageBoxes();

const std::vector<std::string>& FontsAdded();
const std::vector<LOGFONTA>& FontsCreated();

struct Broadcast {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool withTimeout;
    UINT flags, timeout;
};
const std::vector<Broadcast>& Broadcasts();

// ---- Dialog manager ------------------------------------------------------------
struct DialogItem {
    int id;
    std::string text;
    HFONT font = nullptr;
};
// What DialogBoxParamA builds for a template: its controls and its window
// rectangle in screen pixels (the template's place before any move).
void DefineDialog(int templateId, const std::vector<DialogItem>& items, RECT rect);
void SetScreenSize(int width, int height);
// Messages delivered, in order, once WM_INITDIALOG has returned and the dialog
// shows. When they run out before EndDialog, the modal loop gives up and
// DialogBoxParamA returns -1 (a real one would wait for the user forever).
void QueueDialogMessage(UINT message, WPARAM wParam, LPARAM lParam);

struct DialogState {
    bool ran = false;          // DialogBoxParamA found the template and ran the procedure
    int templateId = 0;
    bool initDialogResult = false;
    bool shown = false;        // became visible at some point
    bool visible = false;      // visible now
    bool ended = false;
    INT_PTR endResult = 0;
    bool gaveUp = false;       // the queued messages ran out before EndDialog
    RECT rect = {0, 0, 0, 0};
    int moves = 0;             // SetWindowPos calls
    UINT lastMoveFlags = 0;
    std::vector<DialogItem> items;
    const DialogItem* Item(int id) const;
};
const DialogState& Dialog();

} // namespace standin
