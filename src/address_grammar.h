// The dotted IPv4 address grammar of BSD's inet_aton, which decides what is an address where the
// system's own conversion cannot tell a failure from 255.255.255.255.
#pragma once

// Reads `text` as inet_aton does: one to four parts, each decimal, octal with a leading 0 or
// hexadecimal with 0x, the last filling the bytes the others leave; the text may go on after
// white space. Returns false for a text that is no address; otherwise `value` holds the address,
// first octet in the highest byte.
bool parse_address(const char *text, unsigned long long *value);
