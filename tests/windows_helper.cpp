// Windows programs that the end-to-end cases run under Wine beside the utility, as other Windows
// programs would get in its way, and as Explorer starts it. Built twice: as windows_helper.exe,
// and as explorer.exe, so that the utility sees Explorer as its parent.
//   hold FILE                   keeps FILE open for writing, sharing only reading, until its
//                               standard input ends
//   rewrite MILLISECONDS A B    rewrites halmere02.ini in place, in turn with the bytes of A and
//                               of B (of one size), each time with the same last-write time
//   start PROGRAM               starts PROGRAM in a console of its own, with this program's
//                               output, and ends with its status
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

int start(char *program) {
  HANDLE out;
  DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), GetCurrentProcess(), &out,
                  0, TRUE, DUPLICATE_SAME_ACCESS);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, program, nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                      nullptr, &startup, &process)) {
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 2;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "hold") == 0) {
    return hold(argv[2]);
  }
  if (argc == 5 && std::strcmp(argv[1], "rewrite") == 0) {
    return rewrite(std::strtoul(argv[2], nullptr, 10), argv[3], argv[4]);
  }
  if (argc == 3 && std::strcmp(argv[1], "start") == 0) {
    return start(argv[2]);
  }
  std::fputs("usage: hold FILE | rewrite MS A B | start PROGRAM\n", stderr);
  return 2;
}
