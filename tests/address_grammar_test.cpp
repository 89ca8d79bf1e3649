// The address grammar that decides on Windows what is an address must accept exactly the texts
// that the Linux program's inet_aton accepts, with the same value.
#include "address_grammar.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Each part's value spelled in decimal, octal and hexadecimal, at and past the limits a part has
// in its place, with spellings that are no number at all.
std::vector<std::string> part_spellings(unsigned long long limit) {
  std::vector<std::string> spellings = {"",   "0",  "00",  "0x",  "0X",
                                        "08", "09", "0x0", "0xg", "a",
                                        "+1", "-1", " 1",  "1a",  "99999999999999999999"};
  for (unsigned long long value :
       {1ull, 7ull, 8ull, 10ull, 255ull, 256ull, limit, limit + 1, 0x100000000ull}) {
    spellings.push_back(std::to_string(value));
    char text[32];
    std::snprintf(text, sizeof text, "0%llo", value);
    spellings.push_back(text);
    std::snprintf(text, sizeof text, "0x%llx", value);
    spellings.push_back(text);
    std::snprintf(text, sizeof text, "0X%llX", value);
    spellings.push_back(text);
  }
  return spellings;
}

void expect_as_inet_aton(const std::string &text) {
  in_addr address{};
  bool accepted = inet_aton(text.c_str(), &address) != 0;
  unsigned long long value = 0;
  ASSERT_EQ(parse_address(text.c_str(), &value), accepted) << '"' << text << '"';
  if (accepted) {
    EXPECT_EQ(value, ntohl(address.s_addr)) << '"' << text << '"';
  }
}

// One to four parts, one varied at a time among every spelling, the others plain; then what
// may follow the last part, and what may stand before the first.
TEST(AddressGrammar, AcceptsWhatInetAtonAcceptsWithTheSameValue) {
  const char *const endings[] = {"",   " ", " ; lab", "\t1", "\n", "\v", "\f",
                                 "\r", ".", "..",     ". ",  "x",  ";",  ".1.2.3.4.5"};
  const char *const beginnings[] = {"", " ", ".", "+", "-", "x"};
  int texts = 0;
  for (int count = 1; count <= 4; ++count) {
    for (int varied = 0; varied < count; ++varied) {
      unsigned long long limit = varied < count - 1 ? 0xFF : 0xFFFFFFFFull >> (8 * (count - 1));
      for (const std::string &spelling : part_spellings(limit)) {
        std::string text;
        for (int part = 0; part < count; ++part) {
          text += (part > 0 ? "." : "") + (part == varied ? spelling : std::string("1"));
        }
        for (const char *ending : endings) {
          for (const char *beginning : beginnings) {
            expect_as_inet_aton(beginning + text + ending);
            ++texts;
          }
        }
      }
    }
  }
  EXPECT_GT(texts, 10000);
}

}  // namespace
