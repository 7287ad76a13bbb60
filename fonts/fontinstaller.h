// Installing the fonts that the CD lists in its manifest "fonts.dat".
#pragma once

// 1 when the manifest was read to its end, 0 when it could not be opened.
int InstallManifestFonts();

// 1 when the font was copied, added and recorded under the Fonts key; 0 when
// it was already installed or a step failed.
int InstallFont(const char* valueName, const char* fontPath);

// 1 when a font of the same base name is recorded under the Fonts key, or when
// that key cannot be opened; else 0.
int IsFontInstalled(const char* fontPath);
