#include "core/charset.h"

#include <cctype>

int isalpha_cp1251(int code) {
  if (code >= 192 && code <= 255) return 1;
  return (code >= 0 && code <= 255 && std::isalpha(code)) ? 1 : 0;
}

int toupper_cp1251(int code) { return code >= 224 ? code - 32 : code; }

int tolower_cp1251(int code) { return (code >= 192 && code <= 223) ? code + 32 : code; }
