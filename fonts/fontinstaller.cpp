#include "fontinstaller.h"

#include "copyfile.h"
#include "fontlocations.h"
#include "pathrules.h"
#include "platform.h"

#include <cstring>

namespace {

const char ManifestName[] = "fonts.dat";
const int EndOfText = -1;
const int NothingPeeked = -2;
// Each manifest line is read in pieces of at most this many bytes, its line
// feed included, as the runtime library's text mode reads into a path buffer.
const int LinePieceLength = MAX_PATH - 1;
// Long enough for any window that still answers, short enough that a hung one
// cannot hold the launcher for long: the bound applies to each window in turn.
const UINT FontChangeTimeout = 5000;

// The manifest's bytes through one small buffer, with the text-mode rules of
// the runtime library applied here, so that every build reads a manifest alike.
struct ManifestReader {
    HANDLE file;
    char buffer[512];
    DWORD length;
    DWORD next;
    int ended; // end of file, the first Ctrl-Z, or a failed read
    int peeked;
};

// The next raw byte, or EndOfText from the end on.
int NextByte(ManifestReader* reader) {
    if (reader->ended)
        return EndOfText;
    if (reader->next == reader->length) {
        reader->next = 0;
        reader->length = 0;
        if (!ReadFile(reader->file, reader->buffer, sizeof reader->buffer, &reader->length,
                      nullptr) ||
            reader->length == 0) {
            reader->ended = 1;
            return EndOfText;
        }
    }
    unsigned char byte = static_cast<unsigned char>(reader->buffer[reader->next++]);
    if (byte == 0x1A) {
        reader->ended = 1;
        return EndOfText;
    }
    return byte;
}

// The next byte of text: a carriage return directly before a line feed is
// dropped; any other carriage return stays.
int NextTextByte(ManifestReader* reader) {
    int byte;
    if (reader->peeked != NothingPeeked) {
        byte = reader->peeked;
        reader->peeked = NothingPeeked;
    } else {
        byte = NextByte(reader);
    }
    if (byte != '\r')
        return byte;
    int after = NextByte(reader);
    if (after == '\n')
        return after;
    reader->peeked = after;
    return byte;
}

// Reads one piece of a line into `line` (MAX_PATH bytes), without its line
// feed. 1 while more text may follow; 0 once the end has been met, the text
// read before it still being in `line`.
int ReadManifestLine(ManifestReader* reader, char* line) {
    int length = 0;
    int more = 1;
    while (length < LinePieceLength) {
        int byte = NextTextByte(reader);
        if (byte == EndOfText) {
            more = 0;
            break;
        }
        if (byte == '\n')
            break;
        line[length++] = static_cast<char>(byte);
    }
    line[length] = '\0';
    return more;
}

// A zero byte ends the line's text: no comma and no path is looked for past it.
void InstallListedFont(char* line) {
    char* comma = strchr(line, ',');
    if (!comma)
        return;
    *comma = '\0';
    InstallFont(line, comma + 1);
}

void ShowManifestError() {
    MessageBoxA(nullptr, ManifestName, "Cannot open file fonts.dat", MB_ICONERROR);
}

HKEY OpenFontsKey() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SystemFontLocations.FontsKeyPath, 0, KEY_ALL_ACCESS,
                      &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

char FoldAsciiCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// ASCII letters match in either case; every other byte, and the second byte
// of a double-byte character, must match exactly.
int SameBaseName(const char* a, const char* b) {
    while (*a && *b) {
        bool leadByte = IsLeadByte(static_cast<unsigned char>(*a));
        if (leadByte ? *a != *b : FoldAsciiCase(*a) != FoldAsciiCase(*b))
            return 0;
        a++;
        b++;
        if (leadByte && *a) {
            if (*a != *b)
                return 0;
            a++;
            b++;
        }
    }
    return *a == *b;
}

struct ValueBuffers {
    char* name;
    DWORD nameCapacity;
    DWORD longestName;
    char* data;
    DWORD longestData;
};

// The count bounds the walk, so that a key whose every index fails cannot
// hold the launcher for ever.
int HasValueWithBaseName(HKEY key, DWORD valueCount, ValueBuffers* buffers, const char* baseName) {
    for (DWORD index = 0; index < valueCount; index++) {
        // The name's capacity counts its terminator; the data's does not, so
        // one byte of its buffer is kept back for the terminator written below.
        DWORD nameLength = buffers->nameCapacity;
        DWORD dataSize = buffers->longestData + 1;
        LONG status = RegEnumValueA(key, index, buffers->name, &nameLength, nullptr, nullptr,
                                    reinterpret_cast<LPBYTE>(buffers->data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            return 0;
        if (status != ERROR_SUCCESS)
            continue;
        buffers->name[nameLength] = '\0';
        buffers->data[dataSize] = '\0';
        char recordedBaseName[ComponentBufferSize];
        SplitPath(buffers->data, nullptr, nullptr, recordedBaseName, nullptr);
        if (SameBaseName(recordedBaseName, baseName))
            return 1;
    }
    return 0;
}

// 1: recorded. 0: not recorded. Without memory the check cannot be made, and
// the font counts as installed: copying over a font that may be in use is the
// greater harm.
int LookUpFont(HKEY key, const char* fontPath) {
    DWORD valueCount = 0;
    ValueBuffers buffers = {nullptr, 0, 0, nullptr, 0};
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount,
                         &buffers.longestName, &buffers.longestData, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return 0;
    char baseName[ComponentBufferSize];
    SplitPath(fontPath, nullptr, nullptr, baseName, nullptr);
    // The NT family counts the longest name in characters; under a double-byte
    // code page each of them may take two bytes once turned into ANSI.
    buffers.nameCapacity = 2 * buffers.longestName + 2;
    buffers.name = static_cast<char*>(LocalAlloc(LMEM_FIXED, buffers.nameCapacity));
    buffers.data = static_cast<char*>(LocalAlloc(LMEM_FIXED, buffers.longestData + 2));
    int found = 1;
    if (buffers.name && buffers.data)
        found = HasValueWithBaseName(key, valueCount, &buffers, baseName);
    if (buffers.data)
        LocalFree(buffers.data);
    if (buffers.name)
        LocalFree(buffers.name);
    return found;
}

// Wait for every window that answers, but not for one that hangs.
void AnnounceFontChange() {
    DWORD_PTR answer;
    SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, FontChangeTimeout,
                        &answer);
}

int RecordFont(const char* valueName, const char* fileName) {
    HKEY key = OpenFontsKey();
    if (!key)
        return 0;
    LONG status = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(fileName),
                                 static_cast<DWORD>(strlen(fileName) + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// The font keeps its file name inside the fonts directory. 0 when there is no
// fonts directory or the joined path does not fit: nothing is then copied.
int FindDestination(const char* fontPath, char* destination, char* fileName) {
    const char* fontsDirectory = SystemFontLocations.FontsDirectory;
    if (!fontsDirectory[0])
        return 0;
    char baseName[ComponentBufferSize];
    char extension[ComponentBufferSize];
    SplitPath(fontPath, nullptr, nullptr, baseName, extension);
    char drive[DriveBufferSize];
    char directory[ComponentBufferSize];
    SplitPath(fontsDirectory, drive, directory, nullptr, nullptr);
    if (!MakePath(destination, MAX_PATH, drive, directory, baseName, extension) ||
        !MakePath(fileName, MAX_PATH, nullptr, nullptr, baseName, extension))
        return 0;
    // The path rules keep only the first 255 bytes of a directory: a longer
    // fonts directory would come back cut off and name another place.
    return strncmp(destination, fontsDirectory, strlen(fontsDirectory)) == 0;
}

} // namespace

int InstallManifestFonts() {
    if (GetFileAttributesA(ManifestName) == INVALID_FILE_ATTRIBUTES) {
        ShowManifestError();
        return 0;
    }
    HANDLE file = CreateFileA(ManifestName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ShowManifestError();
        return 0;
    }
    ManifestReader reader;
    reader.file = file;
    reader.length = 0;
    reader.next = 0;
    reader.ended = 0;
    reader.peeked = NothingPeeked;
    char line[MAX_PATH];
    int more;
    do {
        more = ReadManifestLine(&reader, line);
        InstallListedFont(line);
    } while (more);
    CloseHandle(file);
    return 1;
}

int InstallFont(const char* valueName, const char* fontPath) {
    if (IsFontInstalled(fontPath))
        return 0;
    char destination[MAX_PATH];
    char fileName[MAX_PATH];
    if (!FindDestination(fontPath, destination, fileName))
        return 0;
    if (!CopyFileBlocks(fontPath, destination))
        return 0;
    // A font the system refuses stays copied but is neither announced nor recorded.
    if (!AddFontResourceA(destination))
        return 0;
    AnnounceFontChange();
    return RecordFont(valueName, fileName);
}

int IsFontInstalled(const char* fontPath) {
    // A key that does not open with full access (a limited account) makes
    // every font count as installed: nothing is written where it cannot be recorded.
    HKEY key = OpenFontsKey();
    if (!key)
        return 1;
    int found = LookUpFont(key, fontPath);
    RegCloseKey(key);
    return found;
}
