// What the utility needs from the platform it runs on. Each platform's source file implements
// these; nothing else in the program depends on the platform.
#pragma once

#include <cstddef>

// The separator placed between the current directory and the settings file's name.
extern const char kPathSeparator;

// Places the current working directory, terminated, in `directory`. Returns false when it
// cannot be had (removed, or too long for the buffer).
bool get_current_directory(char *directory, std::size_t capacity);

// Looks up `key` in `section` of the initialization file at `path`, as the Windows profile
// functions do with no default text. Places at most capacity - 1 characters of the value and a
// terminator in `value` and returns how many were placed: 0 when the file, the section or the
// key is absent or the value is empty.
unsigned long lookup_setting(const char *section, const char *key, char *value,
                             unsigned long capacity, const char *path);

// Converts a dotted IPv4 address to its four octets, first octet first. Returns false for a
// text that is no address.
bool convert_address(const char *text, unsigned char octets[4]);
