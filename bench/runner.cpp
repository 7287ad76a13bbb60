// Times programs from their start to their exit, under the system they run
// on: each run is one CreateProcessA and the wait for the process to end.
// The programs take turns, a different one first in each round, so that any
// drift of the machine spreads over all of them alike.
//
//   runner LOG ROUNDS PROGRAM...
//
// LOG is the file that the started stub program appends one line to; after
// each run the runner waits for that line, so that the next run does not
// share the machine with the stub. Output, one line per run:
//   PROGRAM TAB ROUND TAB MILLISECONDS TAB 1 when the stub's line came, else 0
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const DWORD StubTimeoutMs = 10000;
const DWORD SettleMs = 100;
const int WarmUpRounds = 2;

long CountLines(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    long lines = 0;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        for (DWORD i = 0; i < got; i++)
            lines += buffer[i] == '\n';
    CloseHandle(file);
    return lines;
}

bool WaitForLines(const char* log, long lines) {
    DWORD start = GetTickCount();
    while (CountLines(log) < lines) {
        if (GetTickCount() - start > StubTimeoutMs)
            return false;
        Sleep(1);
    }
    return true;
}

// The program's folder as its current directory, as when it is started from
// the CD's own autorun.
void FolderOf(const char* program, char* folder) {
    lstrcpynA(folder, program, MAX_PATH);
    char* slash = strrchr(folder, '\\');
    if (slash)
        slash[1] = '\0';
}

// Milliseconds from CreateProcessA to the end of the process; negative when
// the program did not start.
double TimeRun(const char* program) {
    char commandLine[MAX_PATH + 2];
    lstrcpyA(commandLine, "\"");
    lstrcatA(commandLine, program);
    lstrcatA(commandLine, "\"");
    char folder[MAX_PATH];
    FolderOf(program, folder);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return double(end.QuadPart - begin.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: runner LOG ROUNDS PROGRAM...\n");
        return 2;
    }
    const char* log = argv[1];
    int rounds = atoi(argv[2]);
    char** programs = argv + 3;
    int count = argc - 3;
    for (int round = -WarmUpRounds; round < rounds; round++) {
        for (int turn = 0; turn < count; turn++) {
            const char* program = programs[(turn + round + WarmUpRounds) % count];
            long before = CountLines(log);
            double ms = TimeRun(program);
            if (ms < 0) {
                fprintf(stderr, "runner: %s did not start (error %lu)\n", program, GetLastError());
                return 1;
            }
            bool started = WaitForLines(log, before + 1);
            Sleep(SettleMs);
            if (round >= 0)
                printf("%s\t%d\t%.3f\t%d\n", program, round, ms, started ? 1 : 0);
            fflush(stdout);
        }
    }
    return 0;
}
