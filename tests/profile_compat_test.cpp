// Compares the settings reader with GetPrivateProfileStringA, for each of the three keys, on
// every case of the corpus. Built for Windows and run under Wine.
#include "profile_compat.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "profile_reader.h"

namespace {

const char *const kKeys[] = {"GCIP", "GATEWAY", "NETMASK"};

std::string shown(const std::string &text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, c < 0x20 || c >= 0x7F ? "\\x%02X" : "%c", c);
    out += escaped;
  }
  return out + "\"";
}

std::string answer(unsigned long count, const char *text) {
  return std::to_string(count) + " " + shown(text);
}

bool write_file(const std::string &path, const std::string &contents) {
  FILE *file = std::fopen(path.c_str(), "wb");
  bool written = file && std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  return file && std::fclose(file) == 0 && written;
}

}  // namespace

int main() {
  char directory[MAX_PATH];
  DWORD length = GetTempPathA(sizeof directory, directory);
  if (length == 0 || length >= sizeof directory) {
    std::printf("no temporary directory\n");
    return 1;
  }
  std::vector<CompatCase> cases = written_cases();
  std::vector<CompatCase> generated = generated_cases(20261208, 400);
  cases.insert(cases.end(), generated.begin(), generated.end());

  int passed = 0, failed = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    // A new name for every case: Windows caches the profile file it read last.
    std::string path = std::string(directory) + "netcfg-compat-" + std::to_string(i) + ".ini";
    if (!write_file(path, cases[i].contents)) {
      std::printf("case %zu: cannot write %s\n", i, path.c_str());
      return 1;
    }
    const std::vector<std::string> &wine_answers = cases[i].wine_answers;
    bool case_failed = false;
    bool reader_differs_from_wine = false;
    for (int k = 0; k < 3; ++k) {
      // Filled, so that a byte the lookup leaves unwritten shows.
      char ours[20], windows[20];
      std::memset(windows, 'X', sizeof windows);
      unsigned long our_count = read_profile_string("NETWORK", kKeys[k], ours, 20, path.c_str());
      unsigned long windows_count =
          GetPrivateProfileStringA("NETWORK", kKeys[k], nullptr, windows, 20, path.c_str());
      std::string our_answer = answer(our_count, ours);
      std::string windows_answer = answer(windows_count, windows);
      std::string expected = our_answer;
      if (!wine_answers.empty()) {
        expected = answer(wine_answers[k].size(), wine_answers[k].c_str());
        reader_differs_from_wine = reader_differs_from_wine || expected != our_answer;
      }
      if (windows_answer != expected) {
        std::printf("case %zu, %s: reader %s, system %s, expected of the system %s\n  in %s\n", i,
                    kKeys[k], our_answer.c_str(), windows_answer.c_str(), expected.c_str(),
                    shown(cases[i].contents.substr(0, 200)).c_str());
        case_failed = true;
      }
    }
    // A case listed as differing must differ, or the list is out of date.
    if (!wine_answers.empty() && !reader_differs_from_wine) {
      std::printf("case %zu: listed as a Wine difference, but the reader agrees with Wine\n", i);
      case_failed = true;
    }
    DeleteFileA(path.c_str());
    ++(case_failed ? failed : passed);
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
