// Fuzzes SplitPath and MakePath with any bytes, any lead-byte set and every
// destination capacity. Each output buffer is a heap block of exactly the
// size the callers provide, so AddressSanitizer stops any write past it; the
// results are compared with a plain reading of the path rules, and the round
// trip is checked wherever the rules promise it.
//
// Input: [flags][capacity, 2 bytes][join flags][32-byte lead-byte map, only
// when flags & 3 == 3] then NUL-separated texts: the path to split, then the
// drive, directory, base name and extension to join.
//   flags & 3:        0 single-byte, 1 code page 932, 2 code page 936, 3 the map
//   flags bits 2..5:  drive, directory, base name, extension buffer absent
//   join flags 0..3:  drive, directory, base name, extension given as null
#include "escaped.h"
#include "pathrules.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum { ComponentLimit = ComponentBufferSize - 1, DriveBytes = 3, MaxCapacity = 600 };

bool lead[256];

void ChooseLeadBytes(int mode, const uint8_t* map) {
    static const unsigned char none[] = {0, 0};
    static const unsigned char cp932[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
    static const unsigned char cp936[] = {0x81, 0xFE, 0, 0};
    std::vector<unsigned char> ranges;
    if (mode == 0)
        ranges.assign(none, none + sizeof none);
    else if (mode == 1)
        ranges.assign(cp932, cp932 + sizeof cp932);
    else if (mode == 2)
        ranges.assign(cp936, cp936 + sizeof cp936);
    else {
        // Any set at all, written as one-byte ranges. Byte 0 cannot be a lead
        // byte: it ends the string.
        for (int byte = 1; byte < 256; byte++)
            if (map[byte / 8] & (1u << (byte % 8))) {
                ranges.push_back(static_cast<unsigned char>(byte));
                ranges.push_back(static_cast<unsigned char>(byte));
            }
        ranges.push_back(0);
        ranges.push_back(0);
    }
    memset(lead, 0, sizeof lead);
    for (size_t i = 0; ranges[i] || ranges[i + 1]; i += 2)
        for (unsigned byte = ranges[i]; byte <= ranges[i + 1]; byte++)
            lead[byte] = byte != 0;
    SetLeadByteRanges(ranges.data());
}

[[noreturn]] void Fail(const char* what, const std::string& input, const std::string& expected,
                       const std::string& actual) {
    fprintf(stderr, "%s\n  input:    %s\n  expected: \"%s\"\n  got:      \"%s\"\n", what,
            Escaped(input).c_str(), Escaped(expected).c_str(), Escaped(actual).c_str());
    abort();
}

struct Parts {
    std::string drive, directory, baseName, extension;
    bool complete = true; // nothing shortened and no lead byte left without its trail byte
};

// At most ComponentLimit bytes of [begin, end), by whole characters.
std::string Limited(const std::string& path, size_t begin, size_t end, bool* shortened) {
    size_t length = 0;
    while (begin + length < end) {
        size_t step = lead[static_cast<unsigned char>(path[begin + length])] ? 2 : 1;
        if (length + step > ComponentLimit)
            break;
        length += step;
    }
    if (begin + length < end)
        *shortened = true;
    return path.substr(begin, length);
}

Parts ExpectedSplit(const std::string& path) {
    Parts parts;
    size_t rest = 0;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = path.substr(0, 2);
        rest = 2;
    }
    size_t nameStart = rest, end = path.size(), dot = std::string::npos;
    for (size_t i = rest; i < path.size();) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (lead[c]) {
            if (i + 1 == path.size()) {
                end = i;
                parts.complete = false;
                break;
            }
            i += 2;
            continue;
        }
        if (c == '\\' || c == '/')
            nameStart = i + 1;
        else if (c == '.')
            dot = i;
        i++;
    }
    size_t extensionStart = dot != std::string::npos && dot >= nameStart ? dot : end;
    bool shortened = false;
    parts.directory = Limited(path, rest, nameStart, &shortened);
    parts.baseName = Limited(path, nameStart, extensionStart, &shortened);
    parts.extension = Limited(path, extensionStart, end, &shortened);
    if (shortened)
        parts.complete = false;
    return parts;
}

// The last character of a non-empty directory is a separator only when it is
// a single byte, judged by the run of lead-byte values just before it.
bool EndsInSeparator(const std::string& directory) {
    size_t last = directory.size() - 1;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(directory.data());
    if (last >= 1 && lead[bytes[last]])
        return false;
    size_t run = 0;
    while (run < last && lead[bytes[last - 1 - run]])
        run++;
    if (run % 2 == 1)
        return false;
    return bytes[last] == '\\' || bytes[last] == '/';
}

std::string ExpectedJoin(const char* drive, const char* directory, const char* baseName,
                         const char* extension) {
    std::string out;
    if (drive && drive[0]) {
        out += drive[0];
        out += ':';
    }
    if (directory && directory[0]) {
        out += directory;
        if (!EndsInSeparator(directory))
            out += '\\';
    }
    if (baseName)
        out += baseName;
    if (extension && extension[0]) {
        if (extension[0] != '.')
            out += '.';
        out += extension;
    }
    return out;
}

// A heap block of exactly `size` bytes, filled with a poison value so that an
// output that was never terminated shows.
struct Buffer {
    explicit Buffer(size_t size, bool absent = false) : size(size) {
        if (absent)
            return;
        // AddressSanitizer lets a write into malloc(0) pass; an empty buffer
        // is therefore the end of a one-byte block, so that any write to it shows.
        block = static_cast<char*>(malloc(size ? size : 1));
        bytes = size ? block : block + 1;
        memset(bytes, 0xCC, size);
    }
    ~Buffer() {
        free(block);
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    std::string Text(const char* what, const std::string& path) const {
        const void* terminator = size ? memchr(bytes, 0, size) : nullptr;
        if (!terminator)
            Fail(what, path, "a terminator within the buffer", std::string(bytes, size));
        return std::string(bytes, static_cast<const char*>(terminator) - bytes);
    }

    char* block = nullptr;
    char* bytes = nullptr;
    size_t size;
};

void CheckSplit(const std::string& path, int absent) {
    Buffer drive(DriveBytes, absent & 1), directory(ComponentBufferSize, absent & 2),
        baseName(ComponentBufferSize, absent & 4), extension(ComponentBufferSize, absent & 8);
    SplitPath(path.c_str(), drive.bytes, directory.bytes, baseName.bytes, extension.bytes);
    Parts expected = ExpectedSplit(path);
    struct {
        const char* what;
        const Buffer& buffer;
        const std::string& expected;
    } rows[] = {{"drive", drive, expected.drive},
                {"directory", directory, expected.directory},
                {"base name", baseName, expected.baseName},
                {"extension", extension, expected.extension}};
    for (const auto& row : rows) {
        if (!row.buffer.bytes)
            continue;
        std::string actual = row.buffer.Text(row.what, path);
        if (actual != row.expected)
            Fail(row.what, path, row.expected, actual);
    }
}

// MakePath into exactly `capacity` bytes: the whole join when it fits with its
// terminator, else the empty string and 0.
void CheckJoin(const std::string& context, size_t capacity, const char* drive,
               const char* directory, const char* baseName, const char* extension,
               const std::string& expected) {
    Buffer destination(capacity);
    int result = MakePath(destination.bytes, capacity, drive, directory, baseName, extension);
    bool fits = expected.size() < capacity;
    if (result != (fits ? 1 : 0))
        Fail(fits ? "MakePath refused a join that fits"
                  : "MakePath accepted a join that does not fit",
             context, std::to_string(fits ? 1 : 0) + " at capacity " + std::to_string(capacity),
             std::to_string(result));
    if (capacity == 0)
        return;
    std::string actual = destination.Text("MakePath destination", context);
    if (actual != (fits ? expected : std::string()))
        Fail("MakePath result", context, fits ? expected : "", actual);
}

void CheckRoundTrip(const std::string& path, size_t capacity) {
    Parts parts = ExpectedSplit(path);
    if (!parts.complete)
        return;
    Buffer drive(DriveBytes), directory(ComponentBufferSize), baseName(ComponentBufferSize),
        extension(ComponentBufferSize);
    SplitPath(path.c_str(), drive.bytes, directory.bytes, baseName.bytes, extension.bytes);
    for (size_t size : {capacity, path.size(), path.size() + 1})
        CheckJoin(path, size, drive.bytes, directory.bytes, baseName.bytes, extension.bytes, path);
}

std::vector<std::string> Texts(const uint8_t* data, size_t size) {
    std::vector<std::string> texts(1);
    for (size_t i = 0; i < size; i++) {
        if (data[i] == 0)
            texts.emplace_back();
        else
            texts.back() += char(data[i]);
    }
    texts.resize(5);
    return texts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    int mode = data[0] & 3;
    int absentOutputs = (data[0] >> 2) & 15;
    size_t capacity = (data[1] | (data[2] << 8)) % MaxCapacity;
    int absentInputs = data[3];
    data += 4;
    size -= 4;
    if (mode == 3) {
        if (size < 32)
            return 0;
        ChooseLeadBytes(mode, data);
        data += 32;
        size -= 32;
    } else {
        ChooseLeadBytes(mode, nullptr);
    }

    std::vector<std::string> texts = Texts(data, size);
    const std::string& path = texts[0];
    CheckSplit(path, absentOutputs);
    CheckRoundTrip(path, capacity);

    const char* join[4];
    for (int i = 0; i < 4; i++)
        join[i] = absentInputs & (1 << i) ? nullptr : texts[i + 1].c_str();
    std::string expected = ExpectedJoin(join[0], join[1], join[2], join[3]);
    std::string context = "join of \"" + texts[1] + "\" \"" + texts[2] + "\" \"" + texts[3] +
                          "\" \"" + texts[4] + "\"";
    CheckJoin(context, capacity, join[0], join[1], join[2], join[3], expected);
    CheckJoin(context, expected.size() + 1, join[0], join[1], join[2], join[3], expected);
    if (MakePath(nullptr, capacity, join[0], join[1], join[2], join[3]) != 0)
        Fail("MakePath without a destination", context, "0", "1");
    return 0;
}
