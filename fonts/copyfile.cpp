#include "copyfile.h"

#include "platform.h"

namespace {

const DWORD BlockSize = 1024;

enum CopyOutcome { CopyComplete, SourceFault, DestinationFault };

void ShowFileError(const char* path, const char* caption) {
    MessageBoxA(nullptr, path, caption, MB_ICONERROR);
}

// Both files are shared for reading and writing, so that other programs may
// use either of them while the copy runs.
HANDLE OpenSource(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE CreateDestination(const char* path) {
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A read shorter than a block marks the end of the source, so a source whose
// size is a multiple of the block ends with a read (and a write) of 0 bytes.
CopyOutcome CopyBlocks(HANDLE source, HANDLE destination) {
    char buffer[BlockSize];
    DWORD got;
    do {
        if (!ReadFile(source, buffer, BlockSize, &got, nullptr))
            return SourceFault;
        DWORD put = 0;
        if (!WriteFile(destination, buffer, got, &put, nullptr) || put != got)
            return DestinationFault;
    } while (got == BlockSize);
    return CopyComplete;
}

} // namespace

int CopyFileBlocks(const char* source, const char* destination) {
    if (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES) {
        ShowFileError(source, "Cannot open file");
        return 0;
    }
    HANDLE in = OpenSource(source);
    if (in == INVALID_HANDLE_VALUE) {
        ShowFileError(source, "Cannot open file");
        return 0;
    }
    HANDLE out = CreateDestination(destination);
    if (out == INVALID_HANDLE_VALUE) {
        ShowFileError(destination, "Cannot create file");
        CloseHandle(in);
        return 0;
    }
    CopyOutcome outcome = CopyBlocks(in, out);
    // Closing the destination flushes what the system still holds of it, so
    // a failed close can mean bytes that never reached the disk.
    if (!CloseHandle(out) && outcome == CopyComplete)
        outcome = DestinationFault;
    CloseHandle(in);
    if (outcome == CopyComplete)
        return 1;
    // An incomplete font must not stay where the system would find it.
    DeleteFileA(destination);
    if (outcome == SourceFault)
        ShowFileError(source, "Cannot open file");
    else
        ShowFileError(destination, "Cannot create file");
    return 0;
}
