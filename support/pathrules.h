// Taking Windows paths apart and putting them together, by the runtime
// library's rules for _splitpath and _makepath, on bytes of the ANSI code page.
#pragma once

#include <cstddef>

enum {
    DriveBufferSize = 4,     // "C:" and its terminator, with a byte to spare
    ComponentBufferSize = 256 // a directory, base name or extension: 255 bytes and a terminator
};

// Fixes the lead-byte set from the system's ANSI code page. Runs once before
// any path is handled; later calls only matter to tests that change the code page.
void FixLeadByteSet();

// The lead-byte ranges as the system lists them: pairs of first and last byte,
// ended by a pair of zeros. Null or an empty list: a single-byte code page.
void SetLeadByteRanges(const unsigned char* ranges);
bool IsLeadByte(unsigned char byte);

// Any of the four outputs may be null. Each written component is zero-terminated;
// the drive needs 3 bytes, the others ComponentBufferSize.
void SplitPath(const char* path, char* drive, char* directory, char* baseName, char* extension);

// Joins the components into `destination`, which holds `capacity` bytes. When
// the joined path does not fit, nothing of it is kept: the destination becomes
// the empty string and the result is 0, so that a cut-off path can never be
// opened or started. Otherwise the result is 1.
int MakePath(char* destination, size_t capacity, const char* drive, const char* directory,
             const char* baseName, const char* extension);
