// STR_: zero-terminated text in the process's multibyte code page.
//
// The code page is process-wide: on Windows the C runtime's (each function is
// its _mbs* function); elsewhere the library's own, 0 by default. In a single-
// byte code page every function behaves exactly like the plain byte function of
// the C library. In a double-byte code page such as 932 (Shift-JIS, lead bytes
// 0x81-0x9F and 0xE0-0xFC) a lead byte and the byte after it form one character,
// which stepping, reversal, searching, counted copies and case mapping never
// split. Without OS code pages, case mapping there touches only single-byte
// ASCII letters and collation is by character code. No function checks its
// pointers unless its comment says so.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "Common/Core/ZRExport.h"

constexpr unsigned int STR_CODEPAGE_SINGLEBYTE = 0;
constexpr unsigned int STR_CODEPAGE_SHIFTJIS = 932;

// Selects the multibyte code page: 0 (single-byte), any code page the Windows C
// runtime knows; elsewhere 0, any single-byte code page number such as 1252, or
// 932. Returns false, changing nothing, for a code page not supported.
ZR_COMMON_API bool STR_SetCodePage(unsigned int codePage);
ZR_COMMON_API unsigned int STR_GetCodePage();
// True when c is a lead byte of a double-byte character in the current code page.
ZR_COMMON_API bool STR_IsLeadByte(int c);

// Comparisons by character code, case-insensitive, and by collation.
ZR_COMMON_API int STR_strcmp(const char* a, const char* b);
ZR_COMMON_API int STR_stricmp(const char* a, const char* b);
ZR_COMMON_API int STR_strcoll(const char* a, const char* b);
ZR_COMMON_API int STR_stricoll(const char* a, const char* b);

// Bytes before the terminator (not characters).
ZR_COMMON_API int STR_strlen(const char* s);

// In place; each returns s.
ZR_COMMON_API char* STR_strlwr(char* s);
ZR_COMMON_API char* STR_strupr(char* s);
ZR_COMMON_API char* STR_strrev(char* s);

// Searches; null when there is no match. c may be a double-byte character code
// (lead byte << 8 | trail byte). STR_strrpbrk tests every character of s, the
// first included, from the end.
ZR_COMMON_API char* STR_strchr(const char* s, unsigned int c);
ZR_COMMON_API char* STR_strrchr(const char* s, unsigned int c);
ZR_COMMON_API char* STR_strstr(const char* s, const char* sub);
ZR_COMMON_API char* STR_strpbrk(const char* s, const char* set);
ZR_COMMON_API char* STR_strrpbrk(const char* s, const char* set);

// Formatting. The counted forms write at most count bytes and terminate only when
// the output is shorter than count; they return the bytes written without the
// terminator, or a negative value when the output was longer than count. A call
// costs in proportion to what it keeps, however large a width or precision the
// format gives. A format the C library cannot format (output past INT_MAX bytes,
// a width beyond INT_MAX, a wide character without a multibyte form, a format
// ending inside a conversion) gives -1 and errno, with what was formatted before
// the failure kept and terminated.
ZR_COMMON_API int STR_sprintf(char* dst, const char* fmt, ...);
ZR_COMMON_API int STR_snprintf(char* dst, std::size_t count, const char* fmt, ...);
ZR_COMMON_API int STR_vsprintf(char* dst, const char* fmt, va_list args);
ZR_COMMON_API int STR_vsnprintf(char* dst, std::size_t count, const char* fmt, va_list args);

// Copies at most count bytes, stops after the terminator and pads the rest of
// count with zeros; a double-byte character cut by count loses its lead byte
// (replaced by 0). dst is not terminated when src has count bytes or more.
ZR_COMMON_API char* STR_strncpy(char* dst, const char* src, std::size_t count);
ZR_COMMON_API char* STR_strcpy(char* dst, const char* src);
// Appends at most count bytes of src and a terminator; never splits a character.
ZR_COMMON_API char* STR_strncat(char* dst, const char* src, std::size_t count);
ZR_COMMON_API char* STR_strcat(char* dst, const char* src);

// Character stepping: the character after p; the character before p scanning
// from start (null when p is at or before start).
ZR_COMMON_API char* STR_strinc(const char* p);
ZR_COMMON_API char* STR_strdec(const char* start, const char* p);

// Number conversion as the C library's strtol / strtoul / strtod.
ZR_COMMON_API long STR_strtol(const char* s, char** end, int base);
ZR_COMMON_API unsigned long STR_strtoul(const char* s, char** end, int base);
ZR_COMMON_API double STR_strtod(const char* s, char** end);

// True when c is a space character of the code page (single-byte white space;
// in Shift-JIS also the ideographic space 0x8140).
ZR_COMMON_API bool STR_isspace(unsigned int c);
// Tokenizer with a hidden per-thread position, as strtok; never splits a
// character.
ZR_COMMON_API char* STR_strtok(char* s, const char* delimiters);
ZR_COMMON_API int STR_sscanf(const char* text, const char* fmt, ...);
