// The program's output: every message it prints passes through print_message, which escapes what
// comes from outside the program.
#pragma once

// Prints a message, formatted as printf does, on standard output, with the control characters of
// what it formats escaped: only the line breaks that end `format` are written as they are.
void print_message(const char *format, ...) __attribute__((format(printf, 1, 2)));
