// The platform layer for Windows: the system's own profile lookup and the sockets library's
// address conversion.
#include <winsock2.h>  // also declares what windows.h does
//
#include <fcntl.h>
#include <io.h>
#include <tlhelp32.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "address_grammar.h"
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

// The length of a text in the process's code page as Windows counts path lengths: in UTF-16
// units, terminator not counted.
std::size_t path_length(const char *text) {
  int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  return units > 0 ? static_cast<std::size_t>(units) - 1 : std::strlen(text);
}

// Windows' own message for an error, on one line.
void describe_error(DWORD error, char *reason) {
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, reason, static_cast<DWORD>(kReasonCapacity), nullptr);
  while (length > 0 &&
         (reason[length - 1] == '\n' || reason[length - 1] == '\r' || reason[length - 1] == ' ')) {
    --length;
  }
  reason[length] = '\0';
  if (length == 0) {
    (void)std::snprintf(reason, kReasonCapacity, "Windows error %lu", error);
  }
}

// Whether `path` names something that is there but by its nature is no settings file: a
// directory, a device, or a socket (a reparse point of its own tag). Wine finds a Unix pipe,
// device or socket in the directory but gives it no attributes at all. A symbolic link, or an
// online-only placeholder of a cloud drive, is a reparse point too, but one that cannot be opened
// is a file that cannot be read, and its reason counts.
bool names_no_plain_file(const char *path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) {
    return false;
  }
  FindClose(search);
  DWORD attributes = GetFileAttributesA(path);
  // The reparse tag is given only for a reparse point.
  bool socket = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                found.dwReserved0 == IO_REPARSE_TAG_AF_UNIX;
  return attributes == INVALID_FILE_ATTRIBUTES || socket ||
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
}

// Opens a file, waiting while another process holds it in a way its sharing does not allow, until
// kBusyWaitMilliseconds after the first try by the clock: a try may take a timer tick's sleep, or
// a file server's own wait before it answers. INVALID_HANDLE_VALUE with the last error set when
// it cannot be had, ERROR_SHARING_VIOLATION when it was still held after the wait.
HANDLE open_sharing_only_reading(const char *path, DWORD access) {
  ULONGLONG deadline = GetTickCount64() + kBusyWaitMilliseconds;
  for (;;) {
    HANDLE file = CreateFileA(path, access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
        GetTickCount64() >= deadline) {
      return file;
    }
    Sleep(10);
  }
}

// GetPrivateProfileStringA answers a file it cannot read as one without the key. So the held file
// is read once to its end before the lookups: a read that fails (an I/O error, an online-only
// file of a cloud drive whose contents cannot be fetched) is reported with its reason.
bool read_to_end(HANDLE file, char *reason) {
  static char chunk[65536];
  DWORD got = 0;
  do {
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
      describe_error(GetLastError(), reason);
      return false;
    }
  } while (got > 0);
  return true;
}

bool same_directory(const char *directory, UINT(WINAPI *query)(LPSTR, UINT)) {
  static char system_directory[MAX_PATH * 3];
  UINT length = query(system_directory, sizeof system_directory);
  return length > 0 && length < sizeof system_directory &&
         _stricmp(directory, system_directory) == 0;
}

// Whether the program writes to a console of its own, made for it when a file manager started
// it: then the console closes the moment the program ends. From a command prompt the console is
// the prompt's too; Wine gives a program run from a terminal a console of its own as well, but no
// such parent. Output that goes to a file or a pipe is not lost with the window, and a wait
// behind a window that shows nothing would only keep the program from ending.
bool writes_to_console_that_closes_with_it() {
  DWORD mode;
  DWORD processes[2];
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) ||
      GetConsoleProcessList(processes, 2) != 1) {
    return false;
  }
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD self = GetCurrentProcessId(), parent = 0;
  bool from_explorer = false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    parent = entry.th32ProcessID == self ? entry.th32ParentProcessID : parent;
  }
  for (BOOL more = Process32First(snapshot, &entry); more && parent != 0;
       more = Process32Next(snapshot, &entry)) {
    from_explorer = from_explorer || (entry.th32ProcessID == parent &&
                                      _stricmp(entry.szExeFile, "explorer.exe") == 0);
  }
  CloseHandle(snapshot);
  return from_explorer;
}

// Keeps the console window open until the user has read the outcome and pressed Enter; ends
// too when the console has no more input to give.
void wait_for_enter() {
  (void)std::fflush(stdout);
  write_output("Press Enter to close this window.\n");
  HANDLE input =
      CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) {
    return;
  }
  char typed = '\0';
  DWORD count = 0;
  while (ReadConsoleA(input, &typed, 1, &count, nullptr) && count == 1 && typed != '\n') {
  }
  CloseHandle(input);
}

}  // namespace

// Windows has neither signal to ignore: such a write simply fails.
void prepare_run() {
  if (writes_to_console_that_closes_with_it()) {
    (void)std::atexit(wait_for_enter);
  }
}

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

// A console is given UTF-16, which it shows as characters; elsewhere the text goes out in the
// process's code page, UTF-8 where Windows honours the manifest, whose bytes 0x80 to 0x9F are no
// controls.
bool output_charset_is_8_bit() {
  return false;
}

DirectoryOutcome get_current_directory(char *directory, std::size_t capacity) {
  // The count is the length on success, or the size needed when the buffer is too small.
  DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(capacity), directory);
  if (length == 0 || length >= capacity || path_length(directory) >= MAX_PATH) {
    return kDirectoryUnknown;
  }
  // A drive's directory or a share's: Wine reports a directory it has lost as a relative one.
  bool on_drive = std::isalpha(static_cast<unsigned char>(directory[0])) && directory[1] == ':' &&
                  directory[2] == '\\';
  if (!on_drive && std::strncmp(directory, "\\\\", 2) != 0) {
    return kDirectoryUnknown;
  }
  // Wine starts a program in the Windows directory when it cannot name the one it was asked for.
  if (same_directory(directory, GetWindowsDirectoryA) ||
      same_directory(directory, GetSystemDirectoryA) ||
      same_directory(directory, GetSystemWow64DirectoryA)) {
    return kDirectoryOfSystem;
  }
  return kDirectoryFound;
}

// The profile functions open no file by a longer path, and would report every key missing. The
// image is opened by its name alone, which Windows resolves against the current directory to a
// full path under the same limit, as Microsoft documents for CreateFile's relative paths (Wine
// opens longer ones: only real Windows fails there).
bool full_path_fits(const char *path) {
  return path_length(path) < MAX_PATH;
}

SettingsOutcome lookup_settings(const char *section, SettingLookup *lookups, std::size_t count,
                                const char *path, char *reason) {
  for (std::size_t i = 0; i < count; ++i) {
    lookups[i].count = 0;
    lookups[i].value[0] = '\0';
  }
  // Held open, sharing only reading, until the lookups are done: no other program can change
  // or replace the file meanwhile, and the lookups can still open it to read.
  HANDLE held = open_sharing_only_reading(path, GENERIC_READ);
  if (held == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) {
      return kSettingsInUse;
    }
    // Absent, or no plain file (a directory cannot be opened so): every key is missing.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        names_no_plain_file(path)) {
      return kSettingsRead;
    }
    describe_error(error, reason);
    return kSettingsUnreadable;
  }
  SettingsOutcome outcome = kSettingsKeptChanging;
  if (GetFileType(held) != FILE_TYPE_DISK) {
    outcome = kSettingsRead;  // a pipe or a device is no settings file
  } else if (!read_to_end(held, reason)) {
    outcome = kSettingsUnreadable;
  }
  // The three lookups open the file one after another: they count only when the same version of
  // the file stood there from before the first to after the last. Programs that ignore sharing
  // (Linux ones, under Wine) can still change it.
  for (int attempt = 0; attempt < kReadAttempts && outcome == kSettingsKeptChanging; ++attempt) {
    FileVersion before = file_version(path);
    for (std::size_t i = 0; i < count; ++i) {
      SettingLookup &lookup = lookups[i];
      std::memset(lookup.value, 0, lookup.capacity);
      lookup.count = GetPrivateProfileStringA(section, lookup.key, nullptr, lookup.value,
                                              lookup.capacity, path);
    }
    if (same_version(before, file_version(path))) {
      outcome = kSettingsRead;
    }
  }
  CloseHandle(held);
  return outcome;
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

FILE *open_for_update(const char *name, bool *in_use) {
  // Others may read it meanwhile, but no other program, and no other run, may write it.
  HANDLE handle = open_sharing_only_reading(name, GENERIC_READ | GENERIC_WRITE);
  *in_use = handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
  if (handle == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  int fd = -1;
  if (GetFileType(handle) == FILE_TYPE_DISK) {
    fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);  // NOLINT
  }
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE *file = _fdopen(fd, "rb+");
  if (!file) {
    (void)_close(fd);
    return nullptr;
  }
  // Reads and writes go straight to the file from the caller's buffers.
  (void)std::setvbuf(file, nullptr, _IONBF, 0);
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
