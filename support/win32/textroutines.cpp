// The memory and string routines of the C library that the product calls, and
// that the compiler calls for copies and fills of its own, for the Windows
// build, which links no C runtime. Plain byte loops: the launcher handles a few
// hundred bytes at a time, and every byte of code is read from a slow CD drive.
//
// This file must be compiled with -fno-tree-loop-distribute-patterns: without
// it the compiler may turn a loop below back into a call of the routine that
// the loop is, and the routine would call itself for ever.
//
// The host tests compile this same file under other names, beside the host's
// own C library, by defining TEXT_ROUTINE first.
#include <cstddef>

#ifndef TEXT_ROUTINE
#define TEXT_ROUTINE(name) name
#endif

extern "C" {

// Forwards only: no caller copies between overlapping blocks.
void* TEXT_ROUTINE(memcpy)(void* destination, const void* source, size_t size) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    while (size--)
        *to++ = *from++;
    return destination;
}

void* TEXT_ROUTINE(memset)(void* destination, int value, size_t size) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    while (size--)
        *to++ = static_cast<unsigned char>(value);
    return destination;
}

size_t TEXT_ROUTINE(strlen)(const char* text) {
    const char* end = text;
    while (*end)
        end++;
    return static_cast<size_t>(end - text);
}

// Reads no byte at or past `capacity`: the text may fill its buffer with no
// terminator.
size_t TEXT_ROUTINE(strnlen)(const char* text, size_t capacity) {
    size_t length = 0;
    while (length < capacity && text[length])
        length++;
    return length;
}

// The terminator is part of the text: looking for 0 finds it.
char* TEXT_ROUTINE(strchr)(const char* text, int character) {
    const char wanted = static_cast<char>(character);
    for (;; text++) {
        if (*text == wanted)
            return const_cast<char*>(text);
        if (!*text)
            return nullptr;
    }
}

// Bytes compare as unsigned char, so that the upper half of the code page
// sorts after ASCII whatever the signedness of char.
int TEXT_ROUTINE(strncmp)(const char* a, const char* b, size_t count) {
    for (; count > 0; count--, a++, b++) {
        unsigned char left = static_cast<unsigned char>(*a);
        unsigned char right = static_cast<unsigned char>(*b);
        if (left != right)
            return left < right ? -1 : 1;
        if (!left)
            return 0;
    }
    return 0;
}

} // extern "C"
