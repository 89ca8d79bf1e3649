// Windows programs that the end-to-end cases run under Wine beside the utility, as other Windows
// programs would get in its way, and as Explorer starts it. Built twice: as windows_helper.exe,
// and as explorer.exe, so that the utility sees Explorer as its parent.
//   hold FILE                   keeps FILE open for writing, sharing only reading, until its
//                               standard input ends
//   rewrite MILLISECONDS A B    rewrites halmere02.ini in place, in turn with the bytes of A and
//                               of B (of one size), each time with the same last-write time
//   start PROGRAM               starts PROGRAM in a console of its own, with this program's
//                               output, and ends with its status
//   show PROGRAM                starts PROGRAM in a console of its own that it writes to, as
//                               Explorer does, prints its process id, and ends with its status
//   screen PROCESS              prints what the console of the process with that id shows, up
//                               to its last line that is not blank
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HANDLE open_for_writing(const char *name) {
  return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Held until the case lets it go, however slowly the machine runs.
int hold(const char *name) {
  HANDLE file = open_for_writing(name);
  if (file == INVALID_HANDLE_VALUE) {
    return 2;
  }
  std::puts("held");
  std::fflush(stdout);
  char byte;
  DWORD count;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &count, nullptr) && count == 1) {
  }
  CloseHandle(file);
  return 0;
}

int rewrite(DWORD milliseconds, const char *first, const char *second) {
  static char versions[2][4096];
  DWORD sizes[2] = {0, 0};
  const char *names[2] = {first, second};
  for (int i = 0; i < 2; ++i) {
    HANDLE file = CreateFileA(names[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE || !ReadFile(file, versions[i], 4096, &sizes[i], nullptr)) {
      return 2;
    }
    CloseHandle(file);
  }
  const FILETIME same_time = {0x12345678, 0x01D00000};
  std::puts("rewriting");
  std::fflush(stdout);
  DWORD start = GetTickCount();
  for (unsigned turn = 0; GetTickCount() - start < milliseconds; ++turn) {
    HANDLE file = open_for_writing("halmere02.ini");
    if (file == INVALID_HANDLE_VALUE) {
      continue;  // the utility holds it: try again
    }
    DWORD written;
    WriteFile(file, versions[turn % 2], sizes[turn % 2], &written, nullptr);
    Sleep(1);  // a moment with the new time, as a save takes before the time is put back
    SetFileTime(file, nullptr, nullptr, &same_time);
    CloseHandle(file);
  }
  return 0;
}

// With `own_output`, the program writes to this program's output instead of its new console.
int start(char *program, bool own_output) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (own_output) {
    HANDLE out;
    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), GetCurrentProcess(), &out,
                    0, TRUE, DUPLICATE_SAME_ACCESS);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
  }
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, program, nullptr, nullptr, own_output, CREATE_NEW_CONSOLE, nullptr,
                      nullptr, &startup, &process)) {
    return 2;
  }
  if (!own_output) {
    std::printf("%lu\n", process.dwProcessId);
    std::fflush(stdout);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 2;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}

int screen(DWORD process) {
  static char rows[200][256];
  // This program's output stays where it was: the C run-time keeps the handle it started with.
  FreeConsole();
  if (!AttachConsole(process)) {
    return 2;
  }
  HANDLE buffer =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (buffer == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(buffer, &info)) {
    return 2;
  }
  SHORT height = info.dwSize.Y < 200 ? info.dwSize.Y : 200;
  DWORD width = info.dwSize.X < 255 ? info.dwSize.X : 255;
  int shown = 0;
  for (SHORT row = 0; row < height; ++row) {
    DWORD count = 0;
    ReadConsoleOutputCharacterA(buffer, rows[row], width, COORD{0, row}, &count);
    while (count > 0 && rows[row][count - 1] == ' ') {
      --count;
    }
    rows[row][count] = '\0';
    shown = count > 0 ? row + 1 : shown;
  }
  FreeConsole();
  for (int row = 0; row < shown; ++row) {
    std::printf("%s\n", rows[row]);
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "hold") == 0) {
    return hold(argv[2]);
  }
  if (argc == 5 && std::strcmp(argv[1], "rewrite") == 0) {
    return rewrite(std::strtoul(argv[2], nullptr, 10), argv[3], argv[4]);
  }
  if (argc == 3 && (std::strcmp(argv[1], "start") == 0 || std::strcmp(argv[1], "show") == 0)) {
    return start(argv[2], std::strcmp(argv[1], "start") == 0);
  }
  if (argc == 3 && std::strcmp(argv[1], "screen") == 0) {
    return screen(std::strtoul(argv[2], nullptr, 10));
  }
  std::fputs("usage: hold FILE | rewrite MS A B | start|show PROGRAM | screen PROCESS\n", stderr);
  return 2;
}
