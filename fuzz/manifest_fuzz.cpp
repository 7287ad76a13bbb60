// Fuzzes the font manifest reader and installer on the host stand-in: any
// manifest bytes, any contents of the Fonts key, and optionally one failing
// system service. Besides what the sanitizers catch, every run must leave no
// memory, key or file handle behind, and what the user sees must follow from
// the manifest: each "Cannot open file" names a listed path, in the order of
// the manifest, and no line does more than one thing.
//
// Input: [flags][fault call][value count] then, per Fonts value,
// [type][name length][name][data length, 2 bytes little-endian][data], then
// the manifest's bytes.
//   flags & 15:  the service that fails (an index into FaultServices; 0 none)
//   flags & 16:  no Fonts key at all
//   flags & 32:  no fonts.dat
//   flags & 64:  the failing service keeps failing from its first failed call
#include "fontinstaller.h"
#include "fontlocations.h"
#include "escaped.h"
#include "pathrules.h"
#include "standin.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const FaultServices[] = {
    "",
    "GetFileAttributesA",
    "CreateFileA",
    "ReadFile",
    "WriteFile",
    "CloseHandle",
    "RegOpenKeyExA",
    "RegQueryInfoKeyA",
    "RegEnumValueA",
    "RegSetValueExA",
    "LocalAlloc",
    "AddFontResourceA",
    "*",
};
const int FaultServiceCount = sizeof FaultServices / sizeof FaultServices[0];

const char ManifestError[] = "Cannot open file fonts.dat";
const char OpenError[] = "Cannot open file";
const char CreateError[] = "Cannot create file";

std::string scratch;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

void RemoveScratch() {
    if (!scratch.empty())
        nftw(scratch.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        perror(path.c_str());
        abort();
    }
    fclose(file);
}

// The stand-in maps Windows paths onto the host's files below the current
// directory: "C:\WINDOWS\FONTS" is the folder "C:/WINDOWS/FONTS" here. A few
// font files exist, one of them larger than a copy block, and one name that
// a manifest may list is a folder.
void MakeScratchMachine() {
    char pattern[] = "/tmp/manifest-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) {
        perror("mkdtemp");
        abort();
    }
    scratch = pattern;
    atexit(RemoveScratch);
    if (chdir(scratch.c_str()) != 0) {
        perror(scratch.c_str());
        abort();
    }
    for (const char* folder : {"C:", "C:/WINDOWS", "C:/WINDOWS/FONTS", "fonts", "dir.ttf"})
        mkdir(folder, 0755);
    WriteHostFile("a.ttf", "font");
    WriteHostFile("fonts/B.TTF", std::string(1500, 'b'));
}

[[noreturn]] void Fail(const std::string& what, const std::string& expected,
                       const std::string& actual) {
    fprintf(stderr, "%s\n  expected: %s\n  got:      %s\n", what.c_str(), expected.c_str(),
            actual.c_str());
    abort();
}

struct Entry {
    std::string valueName, path;
};

// The manifest as the rules read it: nothing from the first Ctrl-Z on, a
// carriage return dropped only before a line feed, lines in pieces of at most
// 259 bytes, a line's text ending at a zero byte, and only lines with a comma
// counting, cut at the first comma.
std::vector<Entry> ExpectedEntries(const std::string& bytes) {
    std::string raw = bytes.substr(0, bytes.find('\x1A'));
    std::string text;
    for (size_t i = 0; i < raw.size(); i++)
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n'))
            text += raw[i];

    std::vector<Entry> entries;
    size_t position = 0;
    bool ended = false;
    while (!ended) {
        std::string piece;
        while (piece.size() < 259) {
            if (position == text.size()) {
                ended = true;
                break;
            }
            char c = text[position++];
            if (c == '\n')
                break;
            piece += c;
        }
        piece = piece.substr(0, piece.find('\0'));
        size_t comma = piece.find(',');
        if (comma != std::string::npos)
            entries.push_back({piece.substr(0, comma), piece.substr(comma + 1)});
    }
    return entries;
}

bool ExistsOnHost(const std::string& windowsPath) {
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

// Whether the font's place in the fonts directory fits a path buffer.
bool DestinationFits(const std::string& fontPath) {
    char baseName[ComponentBufferSize], extension[ComponentBufferSize];
    SplitPath(fontPath.c_str(), nullptr, nullptr, baseName, extension);
    return strlen(SystemFontLocations.FontsDirectory) + strlen(baseName) + strlen(extension) <
           MAX_PATH;
}

struct Setup {
    int fault = 0;
    bool keepFailing = false;
    int faultCall = 1;
    bool noFontsKey = false;
    bool noManifest = false;
    std::vector<standin::RegistryValue> values;
    std::string manifest;
};

bool Parse(const uint8_t* data, size_t size, Setup* setup) {
    if (size < 3)
        return false;
    setup->fault = (data[0] & 15) % FaultServiceCount;
    setup->noFontsKey = data[0] & 16;
    setup->noManifest = data[0] & 32;
    setup->keepFailing = data[0] & 64;
    setup->faultCall = 1 + data[1] % 16;
    size_t count = data[2] % 32, at = 3;
    for (size_t i = 0; i < count; i++) {
        if (at + 2 > size)
            return false;
        standin::RegistryValue value;
        value.type = data[at];
        size_t nameLength = data[at + 1];
        at += 2;
        if (at + nameLength + 2 > size)
            return false;
        value.name.assign(reinterpret_cast<const char*>(data + at), nameLength);
        at += nameLength;
        size_t dataLength = data[at] | (data[at + 1] << 8);
        at += 2;
        if (at + dataLength > size)
            return false;
        value.data.assign(reinterpret_cast<const char*>(data + at), dataLength);
        at += dataLength;
        setup->values.push_back(value);
    }
    setup->manifest.assign(reinterpret_cast<const char*>(data + at), size - at);
    return true;
}

void Arrange(const Setup& setup) {
    standin::Reset();
    const char* keyPath = SystemFontLocations.FontsKeyPath;
    if (!setup.noFontsKey) {
        standin::CreateKey(HKEY_LOCAL_MACHINE, keyPath);
        for (const standin::RegistryValue& value : setup.values)
            standin::SetValue(HKEY_LOCAL_MACHINE, keyPath, value.name, value.type, value.data);
    }
    if (setup.noManifest)
        unlink("fonts.dat");
    else
        WriteHostFile("fonts.dat", setup.manifest);
    if (setup.fault)
        standin::FailCall(FaultServices[setup.fault], setup.faultCall,
                          setup.keepFailing ? 1000000 : 1);
}

void CheckNothingLeftOpen() {
    if (standin::LiveAllocations() != 0)
        Fail("memory left allocated", "0 blocks", std::to_string(standin::LiveAllocations()));
    if (standin::OpenKeyHandles() != 0)
        Fail("registry keys left open", "0", std::to_string(standin::OpenKeyHandles()));
    if (standin::OpenFileHandles() != 0)
        Fail("files left open", "0", std::to_string(standin::OpenFileHandles()));
}

void CheckManifestResult(const Setup& setup, int result) {
    const auto& boxes = standin::MessageBoxes();
    bool manifestBox = !boxes.empty() && boxes[0].caption == ManifestError;
    if (result == 0) {
        if (boxes.size() != 1 || !manifestBox || boxes[0].text != "fonts.dat" ||
            !standin::FontsAdded().empty())
            Fail("a manifest that did not open",
                 "one box \"fonts.dat\" / \"Cannot open file fonts.dat\"",
                 std::to_string(boxes.size()) + " boxes, " +
                     std::to_string(standin::FontsAdded().size()) + " fonts added");
        if (!setup.noManifest && !setup.fault)
            Fail("an existing manifest without faults did not open", "1", "0");
        return;
    }
    if (result != 1)
        Fail("InstallManifestFonts result", "0 or 1", std::to_string(result));
    if (setup.noManifest)
        Fail("a missing manifest was read", "0", "1");
    if (manifestBox)
        Fail("the manifest was read after its message box", "no box",
             "\"Cannot open file fonts.dat\"");
}

// A failed read ends the manifest where it happens, possibly inside a line,
// whose path then comes out cut off (with a carriage return that the line feed
// after it would have dropped).
bool NamesPath(const Setup& setup, const std::string& text, const std::string& path) {
    if (text == path)
        return true;
    const char* service = FaultServices[setup.fault];
    if (strcmp(service, "ReadFile") != 0 && strcmp(service, "*") != 0)
        return false;
    std::string read = text;
    if (!read.empty() && read.back() == '\r')
        read.pop_back();
    return path.compare(0, read.size(), read) == 0;
}

// Walks the boxes and the added fonts along the manifest: each line may end in
// at most one of them, and a "Cannot open file" names the line's own path.
void CheckAgainstManifest(const Setup& setup, const std::vector<Entry>& entries) {
    const auto& boxes = standin::MessageBoxes();
    const auto& added = standin::FontsAdded();
    std::string fontsDirectory = SystemFontLocations.FontsDirectory;
    size_t next = 0;
    for (const auto& box : boxes) {
        if (box.hasOwner || box.type != MB_ICONERROR)
            Fail("message box style for \"" + Escaped(box.text) + "\"", "no owner, MB_ICONERROR",
                 std::to_string(box.type));
        if (box.caption == OpenError) {
            while (next < entries.size() && !NamesPath(setup, box.text, entries[next].path))
                next++;
            if (next == entries.size())
                Fail("\"Cannot open file\" names no later line's path", "a listed path",
                     "\"" + Escaped(box.text) + "\"");
            next++;
        } else if (box.caption == CreateError) {
            if (box.text.compare(0, fontsDirectory.size(), fontsDirectory) != 0)
                Fail("\"Cannot create file\" outside the fonts directory", fontsDirectory,
                     Escaped(box.text));
        } else if (box.caption != ManifestError) {
            Fail("unexpected message box caption", "a file error", Escaped(box.caption));
        }
    }
    for (const std::string& font : added)
        if (font.compare(0, fontsDirectory.size(), fontsDirectory) != 0)
            Fail("a font added from outside the fonts directory", fontsDirectory, Escaped(font));
    if (boxes.size() + added.size() > entries.size())
        Fail("more outcomes than manifest lines", std::to_string(entries.size()) + " lines",
             std::to_string(boxes.size()) + " boxes, " + std::to_string(added.size()) + " fonts");
    if (standin::Broadcasts().size() != added.size())
        Fail("WM_FONTCHANGE announcements", std::to_string(added.size()),
             std::to_string(standin::Broadcasts().size()));
    for (const auto& broadcast : standin::Broadcasts())
        if (broadcast.message != WM_FONTCHANGE || broadcast.wParam || broadcast.lParam)
            Fail("broadcast", "WM_FONTCHANGE 0 0", std::to_string(broadcast.message));

    if (setup.noFontsKey && (!added.empty() || !boxes.empty()))
        Fail("fonts handled although the Fonts key does not open", "nothing",
             std::to_string(added.size()) + " fonts, " + std::to_string(boxes.size()) + " boxes");

    // With an empty Fonts key, no faults and no listed file present, nothing
    // can count as installed: every line ends in its own "Cannot open file",
    // except that a line whose copy would not fit a path buffer may end
    // silently, before anything is opened.
    bool exact = !setup.noFontsKey && setup.values.empty() && !setup.fault && !setup.noManifest;
    for (const Entry& entry : entries)
        exact = exact && !ExistsOnHost(entry.path);
    if (!exact)
        return;
    size_t box = 0;
    for (size_t i = 0; i < entries.size(); i++) {
        bool shown = box < boxes.size() && boxes[box].caption == OpenError &&
                     boxes[box].text == entries[i].path;
        if (shown)
            box++;
        else if (DestinationFits(entries[i].path))
            Fail("line " + std::to_string(i) + "'s message box",
                 "\"" + Escaped(entries[i].path) + "\" / " + OpenError,
                 box < boxes.size() ? "\"" + Escaped(boxes[box].text) + "\" / " + boxes[box].caption
                                    : "none");
    }
    if (box != boxes.size())
        Fail("message boxes beyond the manifest's lines", std::to_string(box),
             std::to_string(boxes.size()));
}

// Whatever the launcher records is a bare file name, stored as REG_SZ with
// its terminator, and fits a path buffer.
void CheckRecordedValues(const Setup& setup) {
    if (setup.noFontsKey)
        return;
    for (const auto& value :
         standin::Values(HKEY_LOCAL_MACHINE, SystemFontLocations.FontsKeyPath)) {
        bool original = false;
        for (const auto& before : setup.values)
            original = original || (before.data == value.data && before.type == value.type);
        if (original)
            continue;
        const std::string& data = value.data;
        bool bare = value.type == REG_SZ && !data.empty() && data.size() <= MAX_PATH &&
                    data.find('\0') == data.size() - 1 &&
                    data.find_first_of("\\/") == std::string::npos;
        if (!bare)
            Fail("recorded value \"" + Escaped(value.name) + "\"", "REG_SZ bare file name",
                 "type " + std::to_string(value.type) + " \"" + Escaped(data) + "\"");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeScratchMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setup setup;
    if (!Parse(data, size, &setup))
        return 0;
    Arrange(setup);
    int result = InstallManifestFonts();
    CheckNothingLeftOpen();
    CheckManifestResult(setup, result);
    if (result == 1)
        CheckAgainstManifest(setup, ExpectedEntries(setup.manifest));
    CheckRecordedValues(setup);
    return 0;
}
