// Stands in for the programs on the sample CD that the launcher starts. It
// records that it ran -- its own full path and the command line it got -- as
// one line appended to a log, and ends without showing anything.
//
// The log is the Windows path in LAUNCHER_TEST_LOG (Wine hands the Unix
// environment to Windows programs), else C:\started.log. A line is
//   <module path> TAB <command line> CR LF
// a tab being the one separator that cannot occur in a Windows path.
#include <windows.h>

namespace {

const char DefaultLogPath[] = "C:\\started.log";

void LogPath(char* path, DWORD capacity) {
    DWORD length = GetEnvironmentVariableA("LAUNCHER_TEST_LOG", path, capacity);
    if (length == 0 || length >= capacity)
        lstrcpynA(path, DefaultLogPath, int(capacity));
}

// One WriteFile in append mode, so that lines of programs started close
// together never interleave.
bool AppendToLog(const char* logPath, const char* line, DWORD length) {
    HANDLE log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(log, line, length, &written, nullptr) && written == length;
    CloseHandle(log);
    return ok;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char modulePath[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
    const char* commandLine = GetCommandLineA();

    static char line[MAX_PATH + 32768 + 4];
    lstrcpynA(line, modulePath, sizeof line);
    lstrcatA(line, "\t");
    int prefix = lstrlenA(line);
    lstrcpynA(line + prefix, commandLine, int(sizeof line) - prefix - 3);
    lstrcatA(line, "\r\n");

    char logPath[MAX_PATH];
    LogPath(logPath, sizeof logPath);
    return AppendToLog(logPath, line, DWORD(lstrlenA(line))) ? 0 : 2;
}
