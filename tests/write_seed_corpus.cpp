// Writes the hand-written settings files of the comparison corpus into a directory, one file
// each, as the fuzzer's seed corpus.
#include <cstdio>
#include <string>

#include "profile_compat.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  std::vector<CompatCase> cases = written_cases();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::string path = std::string(argv[1]) + "/seed-" + std::to_string(i);
    FILE *file = std::fopen(path.c_str(), "wb");
    const std::string &contents = cases[i].contents;
    if (!file || std::fwrite(contents.data(), 1, contents.size(), file) != contents.size() ||
        std::fclose(file) != 0) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}
