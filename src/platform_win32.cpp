// The platform layer for Windows: the system's own profile lookup and the sockets library's
// address conversion.
#include <winsock2.h>  // also declares what windows.h does
//
#include <io.h>

#include <cstring>
#include <cwchar>

#include "platform.h"

const char kPathSeparator = '\\';

namespace {

HANDLE handle_of(FILE *file) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));  // NOLINT: the C run-time's
}

// What tells one version of a file from another: which file the name leads to, its size and
// when it was last written.
struct FileVersion {
  bool found;
  DWORD volume, index_high, index_low, size_high, size_low;
  FILETIME last_write;
};

FileVersion file_version(const char *path) {
  FileVersion version{};
  // No access asked for and every kind of sharing allowed: the query disturbs no one.
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  if (file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info)) {
    version = FileVersion{true,
                          info.dwVolumeSerialNumber,
                          info.nFileIndexHigh,
                          info.nFileIndexLow,
                          info.nFileSizeHigh,
                          info.nFileSizeLow,
                          info.ftLastWriteTime};
  }
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
  }
  return version;
}

bool same_version(const FileVersion &a, const FileVersion &b) {
  return a.found == b.found && a.volume == b.volume && a.index_high == b.index_high &&
         a.index_low == b.index_low && a.size_high == b.size_high && a.size_low == b.size_low &&
         CompareFileTime(&a.last_write, &b.last_write) == 0;
}

// Each lookup opens the file anew; a file that changes under every attempt is not read.
constexpr int kReadAttempts = 5;

bool is_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digit_value(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
    return (c | 0x20) - 'a' + 10;
  }
  return -1;
}

// The dotted address grammar of BSD's inet_aton, which the Linux build uses: one to four parts,
// each decimal, octal with a leading 0 or hexadecimal with 0x, the last filling the bytes the
// others leave; the text may go on after white space.
bool parse_address(const char *text, unsigned long long *value) {
  unsigned long long parts[4];
  int count = 0;
  for (const char *c = text;; ++c) {
    if (*c < '0' || *c > '9') {
      return false;
    }
    int base = 10;
    bool has_digits = false;
    if (*c == '0') {
      ++c;
      base = *c == 'x' || *c == 'X' ? 16 : 8;
      has_digits = base == 8;
      c += base == 16;
    }
    unsigned long long part = 0;
    for (int digit; (digit = digit_value(*c)) >= 0 && digit < base; ++c) {
      part = part * base + digit;
      has_digits = true;
      if (part > 0xFFFFFFFF) {
        return false;
      }
    }
    if (!has_digits) {
      return false;
    }
    parts[count++] = part;
    if (*c != '.' || count == 4) {
      if (*c != '\0' && !is_white_space(*c)) {
        return false;
      }
      break;
    }
  }
  *value = 0;
  for (int i = 0; i < count - 1; ++i) {
    if (parts[i] > 0xFF) {
      return false;
    }
    *value |= parts[i] << (24 - 8 * i);
  }
  if (parts[count - 1] > 0xFFFFFFFFull >> (8 * (count - 1))) {
    return false;
  }
  *value |= parts[count - 1];
  return true;
}

}  // namespace

// Windows has neither signal: such a write simply fails.
void ignore_write_signals() {}

void write_output(const char *text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode;
  static wchar_t wide[4096];
  // The text is in the process's code page (UTF-8 where Windows honours the manifest), the
  // console's output code page usually another: so a console is given UTF-16, and its code page
  // is left alone.
  int length = GetConsoleMode(out, &mode)
                   ? MultiByteToWideChar(CP_ACP, 0, text, -1, wide, sizeof wide / sizeof *wide)
                   : 0;
  if (length == 0) {
    (void)std::fputs(text, stdout);
    return;
  }
  // As in text mode, each line break reaches the console as a carriage return and a line feed.
  const wchar_t *line = wide;
  for (const wchar_t *end; (end = std::wcschr(line, L'\n')) != nullptr; line = end + 1) {
    DWORD written;
    (void)WriteConsoleW(out, line, static_cast<DWORD>(end - line), &written, nullptr);
    (void)WriteConsoleW(out, L"\r\n", 2, &written, nullptr);
  }
  DWORD written;
  (void)WriteConsoleW(out, line, static_cast<DWORD>(std::wcslen(line)), &written, nullptr);
}

bool get_current_directory(char *directory, std::size_t capacity) {
  DWORD limit = capacity < MAX_PATH ? static_cast<DWORD>(capacity) : MAX_PATH;
  // The count is the length on success, or the size needed when the buffer is too small.
  DWORD length = GetCurrentDirectoryA(limit, directory);
  return length != 0 && length < limit;
}

SettingsOutcome lookup_settings(const char *section, SettingLookup *lookups, std::size_t count,
                                const char *path) {
  // The profile functions open no file by a longer path, and would report every key missing.
  if (std::strlen(path) >= MAX_PATH) {
    return kSettingsPathTooLong;
  }
  // The three lookups open the file one after another: they count only when the same version of
  // the file stood there from before the first to after the last.
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    FileVersion before = file_version(path);
    for (std::size_t i = 0; i < count; ++i) {
      SettingLookup &lookup = lookups[i];
      std::memset(lookup.value, 0, lookup.capacity);
      lookup.count = GetPrivateProfileStringA(section, lookup.key, nullptr, lookup.value,
                                              lookup.capacity, path);
    }
    if (same_version(before, file_version(path))) {
      return kSettingsRead;
    }
  }
  return kSettingsKeptChanging;
}

bool convert_address(const char *text, unsigned char octets[4]) {
  // inet_addr gives INADDR_NONE both for a failure and for an address of all ones, and turns a
  // lone space into 0.0.0.0: so the grammar decides what is an address, and inet_addr converts.
  unsigned long long value;
  if (!parse_address(text, &value)) {
    return false;
  }
  unsigned long address = inet_addr(text);
  if (address == INADDR_NONE && value != 0xFFFFFFFF) {
    return false;
  }
  // The value is in network byte order: its bytes in memory are the octets in order.
  std::memcpy(octets, &address, 4);
  return true;
}

FILE *open_for_update(const char *name) {
  FILE *file = std::fopen(name, "rb+");
  if (file && GetFileType(handle_of(file)) != FILE_TYPE_DISK) {
    (void)std::fclose(file);
    return nullptr;
  }
  if (file) {
    // Reads and writes go straight to the file from the caller's buffers.
    (void)std::setvbuf(file, nullptr, _IONBF, 0);
  }
  return file;
}

bool get_file_size(FILE *file, unsigned long long *size) {
  LARGE_INTEGER file_size;
  if (!GetFileSizeEx(handle_of(file), &file_size)) {
    return false;
  }
  *size = static_cast<unsigned long long>(file_size.QuadPart);
  return true;
}

// Windows sets no limit on the size of a file a process writes.
bool may_write_up_to(unsigned long long /*end*/) {
  return true;
}

bool flush_to_device(FILE *file) {
  return std::fflush(file) == 0 && FlushFileBuffers(handle_of(file));
}
