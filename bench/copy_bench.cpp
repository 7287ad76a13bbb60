// Times CopyFileBlocks against the system's CopyFileA on the same file, in
// turns, each copy into a destination that does not exist yet.
//
//   copy_bench SOURCE DESTINATION ROUNDS
//
// Output, one line per copy: blocks|CopyFileA TAB ROUND TAB MILLISECONDS
#include "copyfile.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

DWORD SizeOf(const char* path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return found.nFileSizeLow;
}

double Now() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// Milliseconds for one copy; negative when the copy failed or came out short.
double TimeCopy(bool blocks, const char* source, const char* destination) {
    DeleteFileA(destination);
    double begin = Now();
    bool copied = blocks ? CopyFileBlocks(source, destination) == 1
                         : CopyFileA(source, destination, FALSE) != 0;
    double elapsed = Now() - begin;
    if (!copied || SizeOf(destination) != SizeOf(source))
        return -1;
    return elapsed;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: copy_bench SOURCE DESTINATION ROUNDS\n");
        return 2;
    }
    int rounds = atoi(argv[3]);
    // One round of each first, unmeasured, so that both read a cached source.
    for (int round = -1; round < rounds; round++) {
        for (int turn = 0; turn < 2; turn++) {
            bool blocks = (turn + round) % 2 == 0;
            double ms = TimeCopy(blocks, argv[1], argv[2]);
            if (ms < 0) {
                fprintf(stderr, "copy_bench: %s failed\n", blocks ? "CopyFileBlocks" : "CopyFileA");
                return 1;
            }
            if (round >= 0)
                printf("%s\t%d\t%.3f\n", blocks ? "blocks" : "CopyFileA", round, ms);
        }
    }
    DeleteFileA(argv[2]);
    return 0;
}
