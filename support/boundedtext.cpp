#include "boundedtext.h"

#include <cstring>

int CopyText(char* destination, size_t capacity, const char* text) {
    size_t length = strlen(text);
    if (length >= capacity)
        return 0;
    memcpy(destination, text, length + 1);
    return 1;
}

int AppendText(char* destination, size_t capacity, const char* text) {
    size_t used = strnlen(destination, capacity);
    if (used == capacity)
        return 0;
    return CopyText(destination + used, capacity - used, text);
}
