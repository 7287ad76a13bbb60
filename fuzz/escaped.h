// Bytes made readable for a finding's report: printable ASCII as it is,
// everything else (and the backslash) as \xNN.
#pragma once

#include <cstdio>
#include <string>

inline std::string Escaped(const std::string& text) {
    std::string out;
    char hex[8];
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += char(c);
        } else {
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}
