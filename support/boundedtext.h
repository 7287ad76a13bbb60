// Copying and appending zero-terminated text into fixed buffers without ever
// writing past them.
#pragma once

#include <cstddef>

// Both return 1 when the whole text fit, and 0 otherwise. On 0 the destination
// is left as it was, so a caller never goes on with a cut-off path.
int CopyText(char* destination, size_t capacity, const char* text);
int AppendText(char* destination, size_t capacity, const char* text);
