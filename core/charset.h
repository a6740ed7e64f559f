// Character classes of Windows-1251 (and ASCII) text.
#pragma once

// 1 for the ASCII letters and the 64 Cyrillic letters 0xC0..0xFF, else 0.
int isalpha_cp1251(int code);
// 0xE0..0xFF become 0xC0..0xDF; every other code, ASCII included, is unchanged.
int toupper_cp1251(int code);
// 0xC0..0xDF become 0xE0..0xFF; every other code is unchanged.
int tolower_cp1251(int code);
