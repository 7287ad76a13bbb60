// Copying one file byte for byte, in blocks, through one fixed buffer.
#pragma once

// 1 when the whole file was copied. 0 when it was not: a message box has named
// the file that could not be read or written, and no partial copy is left.
int CopyFileBlocks(const char* source, const char* destination);
