// Settings files on which the settings reader is compared with Windows' own lookup.
#pragma once

#include <string>
#include <vector>

struct CompatCase {
  std::string contents;
  // Where Wine is known to differ from Windows (and so from the reader), Wine's answers for
  // GCIP, GATEWAY and NETMASK; empty otherwise.
  std::vector<std::string> wine_answers;
};

// The hand-written cases, each for a rule of the file format.
std::vector<CompatCase> written_cases();

// Files made of random lines from a fixed seed, free of the constructs where Wine differs.
std::vector<CompatCase> generated_cases(unsigned seed, int count);
