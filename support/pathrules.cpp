#include "pathrules.h"

#include "platform.h"

#include <cstring>

namespace {

enum { ComponentLimit = ComponentBufferSize - 1 };

bool leadBytes[256];

// Fixed before the entry point, so that no path is ever handled under a set
// that does not match the code page.
struct LeadByteSetFixer {
    LeadByteSetFixer() {
        FixLeadByteSet();
    }
} leadByteSetFixer;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Copies [begin, end) by whole characters and at most ComponentLimit bytes: a
// double-byte character that would straddle the limit is left out entirely, so
// the component never ends in half a character.
void CopyComponent(char* destination, const char* begin, const char* end) {
    if (!destination)
        return;
    size_t length = 0;
    const char* p = begin;
    while (p < end) {
        size_t charLength = IsLeadByte(static_cast<unsigned char>(*p)) ? 2 : 1;
        if (p + charLength > end || length + charLength > ComponentLimit)
            break;
        length += charLength;
        p += charLength;
    }
    memcpy(destination, begin, length);
    destination[length] = '\0';
}

// Whether a directory of at least one byte needs a "\" after it. Its last
// character is found backwards from the end, as the runtime library does: a run
// of lead-byte values just before the last byte pairs up from its start, so an
// odd run means the last byte is a trail byte, which is never a separator.
bool NeedsSeparator(const char* directory, size_t length) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(directory);
    size_t last = length - 1;
    if (length >= 2 && IsLeadByte(bytes[last]))
        return true;
    size_t leadRun = 0;
    while (leadRun < last && IsLeadByte(bytes[last - 1 - leadRun]))
        leadRun++;
    if (leadRun % 2 == 1)
        return true;
    return !IsSeparator(directory[last]);
}

size_t TextLength(const char* text) {
    return text ? strlen(text) : 0;
}

char* Append(char* out, const char* text, size_t length) {
    if (length)
        memcpy(out, text, length);
    return out + length;
}

} // namespace

void FixLeadByteSet() {
    CPINFO info;
    if (!GetCPInfo(CP_ACP, &info)) {
        SetLeadByteRanges(nullptr);
        return;
    }
    // The system ends its list with a pair of zeros within the array; the two
    // extra zeros keep the walk inside this copy even if it ever did not.
    unsigned char ranges[MAX_LEADBYTES + 2] = {};
    memcpy(ranges, info.LeadByte, MAX_LEADBYTES);
    SetLeadByteRanges(ranges);
}

void SetLeadByteRanges(const unsigned char* ranges) {
    memset(leadBytes, 0, sizeof leadBytes);
    if (!ranges)
        return;
    for (const unsigned char* pair = ranges; pair[0] || pair[1]; pair += 2)
        for (unsigned int byte = pair[0]; byte <= pair[1]; byte++)
            leadBytes[byte] = true;
    // The terminator always ends a string, whatever a range claims.
    leadBytes[0] = false;
}

bool IsLeadByte(unsigned char byte) {
    return leadBytes[byte];
}

void SplitPath(const char* path, char* drive, char* directory, char* baseName, char* extension) {
    if (!path)
        path = "";

    // The drive test looks at the second byte alone, even when it is the trail
    // byte of a double-byte character: that is the runtime library's rule.
    const char* rest = path;
    if (path[0] != '\0' && path[1] == ':') {
        if (drive) {
            drive[0] = path[0];
            drive[1] = ':';
            drive[2] = '\0';
        }
        rest = path + 2;
    } else if (drive) {
        drive[0] = '\0';
    }

    const char* nameStart = rest;
    const char* lastDot = nullptr;
    const char* end = rest;
    while (*end) {
        if (IsLeadByte(static_cast<unsigned char>(*end))) {
            // A lead byte without its trail byte belongs to no character.
            if (end[1] == '\0')
                break;
            end += 2;
            continue;
        }
        if (IsSeparator(*end))
            nameStart = end + 1;
        else if (*end == '.')
            lastDot = end;
        end++;
    }

    CopyComponent(directory, rest, nameStart);
    const char* extensionStart = lastDot && lastDot >= nameStart ? lastDot : end;
    CopyComponent(baseName, nameStart, extensionStart);
    CopyComponent(extension, extensionStart, end);
}

int MakePath(char* destination, size_t capacity, const char* drive, const char* directory,
             const char* baseName, const char* extension) {
    size_t driveLength = drive && drive[0] ? 2 : 0;
    size_t directoryLength = TextLength(directory);
    bool addSeparator = directoryLength > 0 && NeedsSeparator(directory, directoryLength);
    size_t baseLength = TextLength(baseName);
    size_t extensionLength = TextLength(extension);
    bool addDot = extensionLength > 0 && extension[0] != '.';

    size_t total =
        driveLength + directoryLength + addSeparator + baseLength + addDot + extensionLength;
    if (!destination || total >= capacity) {
        if (destination && capacity > 0)
            destination[0] = '\0';
        return 0;
    }

    char* out = destination;
    if (driveLength) {
        *out++ = drive[0];
        *out++ = ':';
    }
    out = Append(out, directory, directoryLength);
    if (addSeparator)
        *out++ = '\\';
    out = Append(out, baseName, baseLength);
    if (addDot)
        *out++ = '.';
    out = Append(out, extension, extensionLength);
    *out = '\0';
    return 1;
}
