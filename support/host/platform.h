// The Windows services the launcher calls, as the host stand-in provides them.
// Declared here from what the launcher relies on, nothing more: each type keeps
// the width it has on 32-bit Windows, so unsigned comparisons and sizes behave
// the same on both builds.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef DWORD* PDWORD;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef uintptr_t DWORD_PTR;
typedef DWORD_PTR* PDWORD_PTR;
typedef size_t SIZE_T;
typedef DWORD REGSAM;

typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HFONT__* HFONT;
typedef void* HANDLE;
typedef HANDLE HLOCAL;

#define TRUE 1
#define FALSE 0

#define MAX_PATH 260

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_INSUFFICIENT_BUFFER 122L

// Registry
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u
#define REG_OPTION_NON_VOLATILE 0u

typedef struct _SECURITY_ATTRIBUTES SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;
typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME;
typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD classLength, LPDWORD reserved,
                      LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                      LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                      LPDWORD securityDescriptorSize, PFILETIME lastWriteTime);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameLength,
                   LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG RegCloseKey(HKEY key);

// Kernel
#define VER_PLATFORM_WIN32s 0u
#define VER_PLATFORM_WIN32_WINDOWS 1u
#define VER_PLATFORM_WIN32_NT 2u

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *LPOSVERSIONINFOA;

#define CP_ACP 0u
#define MAX_LEADBYTES 12
#define MAX_DEFAULTCHAR 2
typedef struct _cpinfo {
    UINT MaxCharSize;
    BYTE DefaultChar[MAX_DEFAULTCHAR];
    BYTE LeadByte[MAX_LEADBYTES];
} CPINFO, *LPCPINFO;

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);
DWORD GetLastError(void);
void SetLastError(DWORD error);
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
BOOL GetVersionExA(LPOSVERSIONINFOA info);
BOOL GetCPInfo(UINT codePage, LPCPINFO info);
BOOL CloseHandle(HANDLE handle);

#define LMEM_FIXED 0u
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL memory);

// Files. The stand-in maps them onto the host's files, reading "\" as "/".
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INVALID_FILE_ATTRIBUTES ((DWORD)0xFFFFFFFFu)
#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_NORMAL 0x80u
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x1u
#define FILE_SHARE_WRITE 0x2u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                   HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped);
BOOL DeleteFileA(LPCSTR fileName);
DWORD GetFileAttributesA(LPCSTR fileName);

// Shell
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, int showCommand);

// Graphics
#define LF_FACESIZE 32
#define ANSI_CHARSET 0
typedef struct tagLOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
} LOGFONTA;
int AddFontResourceA(LPCSTR fileName);
HFONT CreateFontIndirectA(const LOGFONTA* font);

// Windows and dialogs
typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define HWND_BROADCAST ((HWND)(uintptr_t)0xFFFF)
#define WM_SETFONT 0x0030u
#define WM_GETFONT 0x0031u
#define WM_FONTCHANGE 0x001Du
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_SYSCOMMAND 0x0112u
#define SC_CLOSE 0xF060u
#define SC_MOVE 0xF010u
#define SC_MINIMIZE 0xF020u
#define IDOK 1
#define IDCANCEL 2
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SWP_NOSIZE 0x0001u
#define SWP_NOZORDER 0x0004u
#define SMTO_NORMAL 0x0000u
#define SMTO_ABORTIFHUNG 0x0002u
#define MB_OK 0x0u
#define MB_ICONERROR 0x10u
#define LOWORD(value) ((WORD)((DWORD_PTR)(value)&0xFFFF))
#define MAKEINTRESOURCEA(id) ((LPCSTR)(uintptr_t)(WORD)(id))

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeout, PDWORD_PTR result);
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                        DLGPROC dialogProc, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
BOOL ShowWindow(HWND window, int showCommand);
BOOL GetWindowRect(HWND window, LPRECT rect);
int GetSystemMetrics(int index);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
