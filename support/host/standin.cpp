// The host stand-in for the Windows services: in-memory registry, settable
// system facts, a record of what the program asked the system to do, and a
// small dialog manager. Its behaviour in the odd cases (sizes, terminators,
// error codes) follows what the contract tests observe on the real services.
#include "standin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace standin {
namespace {

struct Key {
    std::string path; // as first created, for display
    std::vector<RegistryValue> values;
};

struct FaultPlan {
    int calls = 0;
    int failFrom = 0; // call numbers [failFrom, failUntil) fail
    int failUntil = 0;
};

OSVERSIONINFOA WindowsXp() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    version.dwMajorVersion = 5;
    version.dwMinorVersion = 1;
    version.dwBuildNumber = 2600;
    version.dwPlatformId = VER_PLATFORM_WIN32_NT;
    return version;
}

struct Machine {
    std::map<std::string, FaultPlan> faults;
    int shortWriteAt = 0;
    DWORD shortWriteBytes = 0;
    int writes = 0;

    std::map<std::string, Key> keys; // by normalised root + path
    std::set<std::string> writeDenied;
    std::map<uintptr_t, std::pair<std::string, REGSAM>> keyHandles;
    uintptr_t nextHandle = 0x1000;
    std::vector<KeyOpen> keyOpens;

    OSVERSIONINFOA version = WindowsXp();
    std::string modulePath = "C:\\launcher.exe";
    std::string windowsDirectory = "C:\\WINDOWS";
    UINT codePage = 1252;
    DWORD lastError = 0;
    std::set<std::string> mutexes;
    std::map<uintptr_t, int> files; // handle -> descriptor
    std::set<void*> allocations;

    std::vector<StartedProgram> started;
    std::vector<MessageBoxShown> messageBoxes;
    std::vector<std::string> fontsAdded;
    std::vector<LOGFONTA> fontsCreated;
    std::vector<Broadcast> broadcasts;

    std::map<int, std::pair<std::vector<DialogItem>, RECT>> templates;
    std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> dialogQueue;
    int screenWidth = 1024, screenHeight = 768;
    DialogState dialog;
};

// Built on first use, so that the launcher's own static initialisation may
// already call the services.
Machine& M() {
    static Machine* machine = new Machine;
    return *machine;
}

bool Fails(const char* service) {
    bool fail = false;
    for (const char* name : {service, "*"}) {
        FaultPlan& plan = M().faults[name];
        plan.calls++;
        if (plan.calls >= plan.failFrom && plan.calls < plan.failUntil)
            fail = true;
    }
    return fail;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string RootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE)
        return "hklm";
    if (root == HKEY_CURRENT_USER)
        return "hkcu";
    return "";
}

std::string Normalise(const std::string& path) {
    std::string p = Lower(path);
    while (!p.empty() && p.back() == '\\')
        p.pop_back();
    return p;
}

std::string FullKeyName(HKEY root, const std::string& path) {
    std::string base = RootName(root);
    if (base.empty()) {
        auto handle = M().keyHandles.find(reinterpret_cast<uintptr_t>(root));
        if (handle == M().keyHandles.end())
            return "";
        base = handle->second.first;
    }
    std::string rest = Normalise(path);
    return rest.empty() ? base : base + "\\" + rest;
}

Key* FindKeyByHandle(HKEY key) {
    std::string name = FullKeyName(key, "");
    auto found = M().keys.find(name);
    return found == M().keys.end() ? nullptr : &found->second;
}

REGSAM HandleAccess(HKEY key) {
    if (!RootName(key).empty())
        return KEY_ALL_ACCESS;
    auto handle = M().keyHandles.find(reinterpret_cast<uintptr_t>(key));
    return handle == M().keyHandles.end() ? 0 : handle->second.second;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// First and last lead byte of each range, for the double-byte code pages.
const std::vector<BYTE>& LeadByteRanges(UINT codePage) {
    static const std::map<UINT, std::vector<BYTE>> leadBytes = {
        {932, {0x81, 0x9F, 0xE0, 0xFC}},
        {936, {0x81, 0xFE}},
        {949, {0x81, 0xFE}},
        {950, {0x81, 0xFE}},
    };
    static const std::vector<BYTE> none;
    auto found = leadBytes.find(codePage);
    return found == leadBytes.end() ? none : found->second;
}

// The NT family keeps names in UTF-16 and counts them in characters: a
// double-byte character of the ANSI code page is one.
DWORD CharacterCount(const std::string& text) {
    const std::vector<BYTE>& ranges = LeadByteRanges(M().codePage);
    DWORD count = 0;
    for (size_t at = 0; at < text.size(); at++, count++) {
        BYTE byte = static_cast<BYTE>(text[at]);
        for (size_t range = 0; range < ranges.size(); range += 2)
            if (byte >= ranges[range] && byte <= ranges[range + 1]) {
                at++;
                break;
            }
    }
    return count;
}

RegistryValue* FindValue(Key* key, const char* name) {
    std::string wanted = Lower(name ? name : "");
    for (RegistryValue& value : key->values)
        if (Lower(value.name) == wanted)
            return &value;
    return nullptr;
}

void EnsureKey(const std::string& fullName) {
    size_t slash = 0;
    while ((slash = fullName.find('\\', slash + 1)) != std::string::npos)
        M().keys[fullName.substr(0, slash)];
    M().keys[fullName];
}

HKEY NewKeyHandle(const std::string& fullName, REGSAM access) {
    uintptr_t id = M().nextHandle++;
    M().keyHandles[id] = {fullName, access};
    return reinterpret_cast<HKEY>(id);
}

std::string HostPath(LPCSTR path) {
    std::string p = path ? path : "";
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

HWND DialogWindow() {
    return reinterpret_cast<HWND>(uintptr_t(0xD1A0));
}

DialogItem* ItemByWindow(HWND window) {
    uintptr_t index = reinterpret_cast<uintptr_t>(window) - 0xD1A1;
    if (index >= M().dialog.items.size())
        return nullptr;
    return &M().dialog.items[index];
}

} // namespace

void Reset() {
    Machine& m = M();
    for (auto& file : m.files)
        close(file.second);
    for (void* block : m.allocations)
        free(block);
    m = Machine();
}

void FailCall(const std::string& service, int nth, int count) {
    FaultPlan& plan = M().faults[service];
    plan.failFrom = plan.calls + nth;
    plan.failUntil = plan.failFrom + count;
}

int CallCount(const std::string& service) {
    auto found = M().faults.find(service);
    return found == M().faults.end() ? 0 : found->second.calls;
}

void ShortWrite(int nth, DWORD bytes) {
    M().shortWriteAt = M().writes + nth;
    M().shortWriteBytes = bytes;
}

void CreateKey(HKEY root, const std::string& path) {
    std::string name = FullKeyName(root, path);
    EnsureKey(name);
    if (M().keys[name].path.empty())
        M().keys[name].path = path;
}

void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const std::string& data) {
    CreateKey(root, path);
    Key& key = M().keys[FullKeyName(root, path)];
    RegistryValue* value = FindValue(&key, name.c_str());
    if (!value) {
        key.values.push_back({name, type, data});
        return;
    }
    value->type = type;
    value->data = data;
}

void SetString(HKEY root, const std::string& path, const std::string& name,
               const std::string& text) {
    SetValue(root, path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

void DeleteKey(HKEY root, const std::string& path) {
    std::string name = FullKeyName(root, path);
    for (auto it = M().keys.begin(); it != M().keys.end();) {
        bool below = it->first == name || it->first.rfind(name + "\\", 0) == 0;
        it = below ? M().keys.erase(it) : std::next(it);
    }
}

bool GetValue(HKEY root, const std::string& path, const std::string& name, RegistryValue* out) {
    auto key = M().keys.find(FullKeyName(root, path));
    if (key == M().keys.end())
        return false;
    RegistryValue* value = FindValue(&key->second, name.c_str());
    if (value && out)
        *out = *value;
    return value != nullptr;
}

std::vector<RegistryValue> Values(HKEY root, const std::string& path) {
    auto key = M().keys.find(FullKeyName(root, path));
    return key == M().keys.end() ? std::vector<RegistryValue>() : key->second.values;
}

void DenyWriteAccess(HKEY root, const std::string& path) {
    M().writeDenied.insert(FullKeyName(root, path));
}

const std::vector<KeyOpen>& KeyOpens() {
    return M().keyOpens;
}

int OpenKeyHandles() {
    return int(M().keyHandles.size());
}

void SetVersion(DWORD platform, DWORD major, DWORD minor, DWORD build) {
    M().version.dwPlatformId = platform;
    M().version.dwMajorVersion = major;
    M().version.dwMinorVersion = minor;
    M().version.dwBuildNumber = build;
}

void SetModulePath(const std::string& path) {
    M().modulePath = path;
}

void SetWindowsDirectory(const std::string& path) {
    M().windowsDirectory = path;
}

void SetAnsiCodePage(UINT codePage) {
    M().codePage = codePage;
}

void AddExistingMutex(const std::string& name) {
    M().mutexes.insert(name);
}

bool MutexExists(const std::string& name) {
    return M().mutexes.count(name) != 0;
}

int LiveAllocations() {
    return int(M().allocations.size());
}

int OpenFileHandles() {
    return int(M().files.size());
}

const std::vector<StartedProgram>& StartedPrograms() {
    return M().started;
}

const std::vector<MessageBoxShown>& MessageBoxes() {
    return M().messageBoxes;
}

const std::vector<std::string>& FontsAdded() {
    return M().fontsAdded;
}

const std::vector<LOGFONTA>& FontsCreated() {
    return M().fontsCreated;
}

const std::vector<Broadcast>& Broadcasts() {
    return M().broadcasts;
}

void DefineDialog(int templateId, const std::vector<DialogItem>& items, RECT rect) {
    M().templates[templateId] = {items, rect};
}

void SetScreenSize(int width, int height) {
    M().screenWidth = width;
    M().screenHeight = height;
}

void QueueDialogMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    M().dialogQueue.push_back({message, {wParam, lParam}});
}

const DialogItem* DialogState::Item(int id) const {
    for (const DialogItem& item : items)
        if (item.id == id)
            return &item;
    return nullptr;
}

const DialogState& Dialog() {
    return M().dialog;
}

} // namespace standin

using standin::M;

// ---- Registry ------------------------------------------------------------------

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
    std::string name = standin::FullKeyName(key, subKey ? subKey : "");
    LONG status = ERROR_SUCCESS;
    if (standin::Fails("RegOpenKeyExA"))
        status = ERROR_ACCESS_DENIED;
    else if (name.empty() || !M().keys.count(name))
        status = ERROR_FILE_NOT_FOUND;
    else if ((access & ~KEY_READ) && M().writeDenied.count(name))
        status = ERROR_ACCESS_DENIED;
    M().keyOpens.push_back({subKey ? subKey : "", access, status});
    if (status == ERROR_SUCCESS)
        *result = standin::NewKeyHandle(name, access);
    return status;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access,
                     LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (standin::Fails("RegCreateKeyExA"))
        return ERROR_ACCESS_DENIED;
    std::string name = standin::FullKeyName(key, subKey ? subKey : "");
    if (name.empty())
        return ERROR_INVALID_HANDLE;
    bool existed = M().keys.count(name) != 0;
    standin::EnsureKey(name);
    if (disposition)
        *disposition = existed ? 2 : 1; // REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY
    *result = standin::NewKeyHandle(name, access);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (standin::Fails("RegQueryValueExA"))
        return ERROR_ACCESS_DENIED;
    standin::Key* found = standin::FindKeyByHandle(key);
    if (!found)
        return ERROR_INVALID_HANDLE;
    standin::RegistryValue* value = standin::FindValue(found, valueName);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = value->type;
    DWORD size = DWORD(value->data.size());
    if (!dataSize)
        return data ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
    if (data && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data)
        memcpy(data, value->data.data(), size);
    // The real system terminates an unterminated string when there is room, uncounted.
    if (data && standin::IsStringType(value->type) && size < *dataSize &&
        (size == 0 || value->data.back() != '\0'))
        data[size] = 0;
    *dataSize = size;
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyA(HKEY key, LPSTR, LPDWORD, LPDWORD, LPDWORD subKeys, LPDWORD, LPDWORD,
                      LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength, LPDWORD,
                      PFILETIME) {
    if (standin::Fails("RegQueryInfoKeyA"))
        return ERROR_ACCESS_DENIED;
    standin::Key* found = standin::FindKeyByHandle(key);
    if (!found)
        return ERROR_INVALID_HANDLE;
    DWORD longestName = 0, longestData = 0;
    for (const standin::RegistryValue& value : found->values) {
        longestName = std::max<DWORD>(longestName, standin::CharacterCount(value.name));
        // The NT family stores strings in UTF-16 and counts those bytes.
        DWORD stored = DWORD(value.data.size()) * (standin::IsStringType(value.type) ? 2 : 1);
        longestData = std::max<DWORD>(longestData, stored);
    }
    if (subKeys)
        *subKeys = 0;
    if (values)
        *values = DWORD(found->values.size());
    // Both real systems leave the terminator out of the longest name and
    // count only the stored bytes of the longest data.
    if (maxValueNameLength)
        *maxValueNameLength = longestName;
    if (maxValueLength)
        *maxValueLength = longestData;
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameLength, LPDWORD,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (standin::Fails("RegEnumValueA"))
        return ERROR_ACCESS_DENIED;
    standin::Key* found = standin::FindKeyByHandle(key);
    if (!found)
        return ERROR_INVALID_HANDLE;
    if (index >= found->values.size())
        return ERROR_NO_MORE_ITEMS;
    const standin::RegistryValue& value = found->values[index];
    DWORD nameLength = DWORD(value.name.size());
    DWORD size = DWORD(value.data.size());
    // The name's capacity counts its terminator; the data's does not need one.
    if (nameLength + 1 > *valueNameLength || (data && dataSize && size > *dataSize)) {
        if (dataSize)
            *dataSize = size;
        return ERROR_MORE_DATA;
    }
    memcpy(valueName, value.name.c_str(), nameLength + 1);
    *valueNameLength = nameLength;
    if (type)
        *type = value.type;
    if (data && dataSize)
        memcpy(data, value.data.data(), size);
    if (dataSize)
        *dataSize = size;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    if (standin::Fails("RegSetValueExA"))
        return ERROR_ACCESS_DENIED;
    standin::Key* found = standin::FindKeyByHandle(key);
    if (!found)
        return ERROR_INVALID_HANDLE;
    if (!(standin::HandleAccess(key) & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    // The real system takes a zero just after a string's given size in as its terminator.
    if (standin::IsStringType(type) && dataSize > 0 && data[dataSize - 1] != 0 &&
        data[dataSize] == 0)
        dataSize++;
    std::string bytes(reinterpret_cast<const char*>(data), dataSize);
    standin::RegistryValue* value = standin::FindValue(found, valueName);
    if (value) {
        value->type = type;
        value->data = bytes;
    } else {
        found->values.push_back({valueName ? valueName : "", type, bytes});
    }
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
    standin::Key* found = standin::FindKeyByHandle(key);
    if (!found)
        return ERROR_INVALID_HANDLE;
    standin::RegistryValue* value = standin::FindValue(found, valueName);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    found->values.erase(found->values.begin() + (value - found->values.data()));
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    std::string name = standin::FullKeyName(key, subKey ? subKey : "");
    if (!M().keys.count(name))
        return ERROR_FILE_NOT_FOUND;
    for (const auto& other : M().keys)
        if (other.first.rfind(name + "\\", 0) == 0)
            return ERROR_ACCESS_DENIED; // subkeys must go first
    M().keys.erase(name);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    standin::Fails("RegCloseKey");
    return M().keyHandles.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS
                                                                  : ERROR_INVALID_HANDLE;
}

// ---- Kernel --------------------------------------------------------------------

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR name) {
    if (standin::Fails("CreateMutexA")) {
        M().lastError = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    std::string key = name ? name : "";
    bool existed = !key.empty() && M().mutexes.count(key);
    if (!key.empty())
        M().mutexes.insert(key);
    M().lastError = existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    return reinterpret_cast<HANDLE>(uintptr_t(0x4D00));
}

DWORD GetLastError(void) {
    return M().lastError;
}

void SetLastError(DWORD error) {
    M().lastError = error;
}

// Copies at most `size` bytes; a path that does not fit comes back cut off,
// without its terminator, and the full size is returned, as Windows XP does.
DWORD GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size) {
    if (standin::Fails("GetModuleFileNameA"))
        return 0;
    const std::string& path = M().modulePath;
    if (path.size() < size) {
        memcpy(fileName, path.c_str(), path.size() + 1);
        return DWORD(path.size());
    }
    memcpy(fileName, path.data(), size);
    M().lastError = ERROR_INSUFFICIENT_BUFFER;
    return size;
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    if (standin::Fails("GetWindowsDirectoryA"))
        return 0;
    const std::string& path = M().windowsDirectory;
    if (path.size() + 1 > size)
        return UINT(path.size() + 1);
    memcpy(buffer, path.c_str(), path.size() + 1);
    return UINT(path.size());
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    if (standin::Fails("GetVersionExA") || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return FALSE;
    *info = M().version;
    return TRUE;
}

BOOL GetCPInfo(UINT codePage, LPCPINFO info) {
    if (standin::Fails("GetCPInfo"))
        return FALSE;
    if (codePage == CP_ACP)
        codePage = M().codePage;
    memset(info, 0, sizeof *info);
    const std::vector<BYTE>& ranges = standin::LeadByteRanges(codePage);
    info->MaxCharSize = ranges.empty() ? 1 : 2;
    info->DefaultChar[0] = '?';
    std::copy(ranges.begin(), ranges.end(), info->LeadByte);
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    bool fail = standin::Fails("CloseHandle");
    auto file = M().files.find(reinterpret_cast<uintptr_t>(handle));
    if (file == M().files.end())
        return handle == reinterpret_cast<HANDLE>(uintptr_t(0x4D00));
    close(file->second);
    M().files.erase(file);
    return fail ? FALSE : TRUE;
}

HLOCAL LocalAlloc(UINT, SIZE_T bytes) {
    if (standin::Fails("LocalAlloc"))
        return nullptr;
    void* block = malloc(bytes ? bytes : 1);
    M().allocations.insert(block);
    return block;
}

HLOCAL LocalFree(HLOCAL memory) {
    if (memory && M().allocations.erase(memory))
        free(memory);
    return nullptr;
}

// ---- Files ---------------------------------------------------------------------

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD, HANDLE) {
    if (standin::Fails("CreateFileA")) {
        M().lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    std::string path = standin::HostPath(fileName);
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (disposition == CREATE_ALWAYS)
        flags |= O_CREAT | O_TRUNC;
    struct stat info;
    // Windows refuses to open a directory as a file.
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        M().lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    int descriptor = path.empty() ? -1 : open(path.c_str(), flags, 0644);
    if (descriptor < 0) {
        M().lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    uintptr_t id = 0x5000;
    while (M().files.count(id))
        id++;
    M().files[id] = descriptor;
    return reinterpret_cast<HANDLE>(id);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED) {
    *bytesRead = 0;
    auto found = M().files.find(reinterpret_cast<uintptr_t>(file));
    if (standin::Fails("ReadFile") || found == M().files.end()) {
        M().lastError = ERROR_READ_FAULT;
        return FALSE;
    }
    ssize_t got = read(found->second, buffer, bytesToRead);
    if (got < 0)
        return FALSE;
    *bytesRead = DWORD(got);
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED) {
    *bytesWritten = 0;
    auto found = M().files.find(reinterpret_cast<uintptr_t>(file));
    if (standin::Fails("WriteFile") || found == M().files.end()) {
        M().lastError = ERROR_WRITE_FAULT;
        return FALSE;
    }
    if (++M().writes == M().shortWriteAt)
        bytesToWrite = std::min(bytesToWrite, M().shortWriteBytes);
    ssize_t put = write(found->second, buffer, bytesToWrite);
    if (put < 0)
        return FALSE;
    *bytesWritten = DWORD(put);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName) {
    if (standin::Fails("DeleteFileA"))
        return FALSE;
    return unlink(standin::HostPath(fileName).c_str()) == 0;
}

DWORD GetFileAttributesA(LPCSTR fileName) {
    struct stat info;
    if (standin::Fails("GetFileAttributesA") ||
        stat(standin::HostPath(fileName).c_str(), &info) != 0)
        return INVALID_FILE_ATTRIBUTES;
    return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

// ---- Shell and graphics ------------------------------------------------------------

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        int showCommand) {
    if (standin::Fails("ShellExecuteA"))
        return reinterpret_cast<HINSTANCE>(uintptr_t(ERROR_FILE_NOT_FOUND));
    M().started.push_back({verb ? verb : "", file ? file : "", parameters != nullptr,
                           directory != nullptr, showCommand, M().dialog.visible});
    return reinterpret_cast<HINSTANCE>(uintptr_t(42));
}

int AddFontResourceA(LPCSTR fileName) {
    if (standin::Fails("AddFontResourceA"))
        return 0;
    M().fontsAdded.push_back(fileName);
    return 1;
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (standin::Fails("CreateFontIndirectA"))
        return nullptr;
    M().fontsCreated.push_back(*font);
    return reinterpret_cast<HFONT>(uintptr_t(0xF000 + M().fontsCreated.size()));
}

// ---- Windows and dialogs --------------------------------------------------------------

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    standin::Fails("SendMessageA");
    if (window == HWND_BROADCAST) {
        M().broadcasts.push_back({message, wParam, lParam, false, 0, 0});
        return 0;
    }
    standin::DialogItem* item = standin::ItemByWindow(window);
    if (!item)
        return 0;
    if (message == WM_SETFONT)
        item->font = reinterpret_cast<HFONT>(wParam);
    if (message == WM_GETFONT)
        return reinterpret_cast<LRESULT>(item->font);
    return 0;
}

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeout, PDWORD_PTR result) {
    if (standin::Fails("SendMessageTimeoutA"))
        return 0;
    if (window == HWND_BROADCAST)
        M().broadcasts.push_back({message, wParam, lParam, true, flags, timeout});
    if (result)
        *result = 0;
    return 1;
}

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND, DLGPROC dialogProc,
                        LPARAM initParam) {
    int id = int(reinterpret_cast<uintptr_t>(templateName));
    auto found = M().templates.find(id);
    if (standin::Fails("DialogBoxParamA") || found == M().templates.end())
        return -1;
    standin::DialogState& dialog = M().dialog;
    dialog = standin::DialogState();
    dialog.ran = true;
    dialog.templateId = id;
    dialog.items = found->second.first;
    dialog.rect = found->second.second;
    HWND window = standin::DialogWindow();
    dialog.initDialogResult = dialogProc(window, WM_INITDIALOG, 0, initParam) != 0;
    if (!dialog.ended)
        dialog.shown = dialog.visible = true;
    size_t next = 0;
    while (!dialog.ended && next < M().dialogQueue.size()) {
        auto message = M().dialogQueue[next++];
        dialogProc(window, message.first, message.second.first, message.second.second);
    }
    M().dialogQueue.clear();
    if (!dialog.ended) {
        dialog.gaveUp = true;
        return -1;
    }
    return dialog.endResult;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (dialog != standin::DialogWindow() || !M().dialog.ran)
        return FALSE;
    M().dialog.ended = true;
    M().dialog.visible = false;
    M().dialog.endResult = result;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    if (dialog != standin::DialogWindow())
        return nullptr;
    for (size_t i = 0; i < M().dialog.items.size(); i++)
        if (M().dialog.items[i].id == id)
            return reinterpret_cast<HWND>(uintptr_t(0xD1A1 + i));
    return nullptr;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    standin::DialogItem* item = standin::ItemByWindow(GetDlgItem(dialog, id));
    if (standin::Fails("SetDlgItemTextA") || !item)
        return FALSE;
    item->text = text;
    return TRUE;
}

BOOL ShowWindow(HWND window, int showCommand) {
    if (window != standin::DialogWindow())
        return FALSE;
    bool wasVisible = M().dialog.visible;
    M().dialog.visible = showCommand != SW_HIDE;
    M().dialog.shown |= M().dialog.visible;
    return wasVisible;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    if (standin::Fails("GetWindowRect") || window != standin::DialogWindow())
        return FALSE;
    *rect = M().dialog.rect;
    return TRUE;
}

int GetSystemMetrics(int index) {
    if (index == SM_CXSCREEN)
        return M().screenWidth;
    if (index == SM_CYSCREEN)
        return M().screenHeight;
    return 0;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int width, int height, UINT flags) {
    if (window != standin::DialogWindow())
        return FALSE;
    RECT& rect = M().dialog.rect;
    if (flags & SWP_NOSIZE) {
        width = rect.right - rect.left;
        height = rect.bottom - rect.top;
    }
    rect = {x, y, x + width, y + height};
    M().dialog.moves++;
    M().dialog.lastMoveFlags = flags;
    return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    M().messageBoxes.push_back({text ? text : "", caption ? caption : "", type, owner != nullptr});
    return IDOK;
}
