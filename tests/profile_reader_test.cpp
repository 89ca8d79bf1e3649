// The settings reader must answer exactly as GetPrivateProfileStringA does for the lookups the
// utility makes: a 20-character buffer, no default text.
#include "profile_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "text_decoding.h"

namespace {

using namespace std::string_literals;

struct Answer {
  unsigned long count;
  std::string text;
};

bool operator==(const Answer &a, const Answer &b) {
  return a.count == b.count && a.text == b.text;
}

void PrintTo(const Answer &a, std::ostream *os) {
  *os << a.count << " \"" << a.text << "\"";
}

class ProfileReader : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/profile-reader-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/halmere02.ini";
  }
  void TearDown() override {
    std::remove(path_.c_str());
    rmdir(dir_.c_str());
  }

  Answer lookup(const std::string &contents, const char *key = "GCIP",
                const char *section = "NETWORK") {
    FILE *file = std::fopen(path_.c_str(), "wb");
    std::fwrite(contents.data(), 1, contents.size(), file);
    std::fclose(file);
    return lookup_file(path_.c_str(), key, section);
  }

  static Answer lookup_file(const char *path, const char *key = "GCIP",
                            const char *section = "NETWORK") {
    char value[20];
    std::memset(value, 'X', sizeof value);
    unsigned long count = read_profile_string(section, key, value, sizeof value, path);
    // Whatever the answer, the text is terminated within the buffer and the count is its length.
    EXPECT_NE(std::memchr(value, '\0', sizeof value), nullptr);
    EXPECT_EQ(count, std::strlen(value));
    return Answer{count, value};
  }

  std::string dir_;
  std::string path_;
};

const Answer kNotFound{0, ""};

Answer found(const std::string &text) {
  return Answer{text.size(), text};
}

TEST_F(ProfileReader, AnyRunOfCarriageReturnsAndLineFeedsEndsALine) {
  for (const char *eol : {"\r\n", "\n", "\r", "\n\r", "\r\r\n", "\n\n\n"}) {
    std::string file = "\n[NETWORK]"s + eol + "GATEWAY=1.1.1.1" + eol + "GCIP=1.2.3.4" + eol;
    EXPECT_EQ(lookup(file), found("1.2.3.4")) << "line end " << testing::PrintToString(eol);
    EXPECT_EQ(lookup(file, "GATEWAY"), found("1.1.1.1"));
  }
  EXPECT_EQ(lookup("[NETWORK]\rGCIP=1.2.3.4"), found("1.2.3.4")) << "no line end at the end";
}

TEST_F(ProfileReader, SpaceTabAndVerticalTabAreTrimmedEverywhere) {
  EXPECT_EQ(lookup(" \t\v[ \tNETWORK\v ] \n\v GCIP \t= \v 1.2.3.4 \t\v\n"), found("1.2.3.4"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP= a  b \n"), found("a  b")) << "inner blanks stay";
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\f1.2.3.4\n"), found("\f1.2.3.4")) << "form feed is no blank";
  EXPECT_EQ(lookup("[NETWORK]\nG CIP=1.2.3.4\n"), kNotFound);
  EXPECT_EQ(lookup("[NET WORK]\nGCIP=1.2.3.4\n"), kNotFound);
}

TEST_F(ProfileReader, SectionHeaderNameEndsAtItsFirstBracket) {
  EXPECT_EQ(lookup("[NETWORK]]\nGCIP=1\n"), found("1"));
  EXPECT_EQ(lookup("[NETWORK] [LAN]\nGCIP=1\n"), found("1"));
  EXPECT_EQ(lookup("[NETWORK\nGCIP=1\n"), found("1")) << "a header without ']'";
  EXPECT_EQ(lookup("[OTHER]\n[NETWORK \nGCIP=1\n"), found("1"));
  EXPECT_EQ(lookup("[NETWORK]GCIP=1\n"), kNotFound) << "text after ']' is ignored";
  EXPECT_EQ(lookup("[NETWORK]GCIP=1\nGCIP=2\n"), found("2"));
  EXPECT_EQ(lookup("[network]\ngcip=1\n"), found("1")) << "names ignore case";
  EXPECT_EQ(lookup("[NETWORK2]\nGCIP=1\n"), kNotFound);
  EXPECT_EQ(lookup("[NET]\nGCIP=1\n"), kNotFound);
  EXPECT_EQ(lookup("[]\nGCIP=1\n"), kNotFound);
  EXPECT_EQ(lookup("x[NETWORK]\nGCIP=1\n"), kNotFound) << "'[' must come first";
}

TEST_F(ProfileReader, OnlyTheFirstMatchingSectionIsSearchedToTheNextHeader) {
  EXPECT_EQ(lookup("GCIP=1\n[NETWORK]\n"), kNotFound) << "before any header";
  EXPECT_EQ(lookup("[NETWORK]\nGATEWAY=2\n[NETWORK]\nGCIP=1\n"), kNotFound);
  EXPECT_EQ(lookup("[NETWORK]\n[OTHER]\nGCIP=1\n"), kNotFound);
  EXPECT_EQ(lookup("[OTHER]\nGCIP=1\n[NETWORK]\nGCIP=2\n[OTHER]\nGCIP=3\n"), found("2"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=1\n", "GCIP", "OTHER"), kNotFound);
}

TEST_F(ProfileReader, FirstLineWithTheExactKeyWinsEvenWhenEmpty) {
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\nGCIP=1.2.3.4\n"), kNotFound);
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=  \nGCIP=1.2.3.4\n"), kNotFound);
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=1\nGCIP=2\n"), found("1"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIPADDR=1\nMYGCIP=2\nGCI=3\n"), kNotFound);
  EXPECT_EQ(lookup("[NETWORK]\nGCIP\nGCIP=1\n"), found("1")) << "a line without '='";
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=a=b\n"), found("a=b")) << "split at the first '='";
  EXPECT_EQ(lookup("[NETWORK]\n=1\nGCIP=2\n"), found("2"));
  EXPECT_EQ(lookup("[NETWORK]\nNETMASK=1\n", "GATEWAY"), kNotFound);
}

TEST_F(ProfileReader, OnlyLinesStartingWithSemicolonAreComments) {
  EXPECT_EQ(lookup("[NETWORK]\n;GCIP=1\n  ; GCIP=2\nGCIP=3\n"), found("3"));
  EXPECT_EQ(lookup("[NETWORK]\n#GCIP=1\n"), kNotFound) << "'#' starts a key name";
  EXPECT_EQ(lookup("[NETWORK]\n# GCIP=1\n"), kNotFound);
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=1.2.3.4 ; lab\n"), found("1.2.3.4 ; lab"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=1.2.3.4 # lab\n"), found("1.2.3.4 # lab"));
  EXPECT_EQ(lookup(";[NETWORK]\nGCIP=1\n"), kNotFound);
}

TEST_F(ProfileReader, OneOuterPairOfMatchingQuotesIsRemoved) {
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\"1.2.3.4\"\n"), found("1.2.3.4"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP='1.2.3.4'\n"), found("1.2.3.4"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP= \" 1.2 \" \n"), found(" 1.2 "));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\"\"1\"\"\n"), found("\"1\""));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\"\"\nGCIP=1\n"), kNotFound) << "quotes around nothing";
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\"\n"), found("\""));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\"1.2.3.4\n"), found("\"1.2.3.4"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=1.2.3.4'\n"), found("1.2.3.4'"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\"1.2.3.4'\n"), found("\"1.2.3.4'"));
}

TEST_F(ProfileReader, ValuesAreCutAt19CharactersAfterTrimmingAndQuotes) {
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=1234567890123456789\n"), found("1234567890123456789"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=12345678901234567890abc\n"), found("1234567890123456789"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=      12345678901234567890\n"), found("1234567890123456789"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\"12345678901234567890\"\n"), found("1234567890123456789"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=123456789012345678 x\n"), found("123456789012345678 "));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\"123456789012345678\"\n"), found("123456789012345678"));

  char small[5];
  EXPECT_EQ(read_profile_string("NETWORK", "GCIP", small, sizeof small, path_.c_str()), 4u);
  EXPECT_STREQ(small, "1234");
  EXPECT_EQ(read_profile_string("NETWORK", "GCIP", small, 1, path_.c_str()), 0u);
  EXPECT_STREQ(small, "");
}

TEST_F(ProfileReader, ByteOrderMarksAndUtf16) {
  auto repeat = [](const std::string &text, int times) {
    std::string repeated;
    while (times-- > 0) {
      repeated += text;
    }
    return repeated;
  };
  EXPECT_EQ(lookup("\xEF\xBB\xBF[NETWORK]\nGCIP=1.2.3.4\n"), found("1.2.3.4"));
  auto utf16 = [](const std::u16string &text, bool little_endian) {
    std::string bytes = little_endian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : text) {
      char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
      bytes += little_endian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
  };
  for (bool little_endian : {true, false}) {
    EXPECT_EQ(lookup(utf16(u"[NETWORK]\r\nGCIP=1.2.3.4\r\n", little_endian)), found("1.2.3.4"));
    EXPECT_EQ(lookup(utf16(u"[NETWORK]\nGCIP=\u00e9\u20ac\U0001F600x\n", little_endian)),
              found("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80x"))
        << "decoded to UTF-8";
    // Cut to the whole characters that fit in 19 bytes.
    EXPECT_EQ(lookup(utf16(u"[NETWORK]\nGCIP=" + std::u16string(10, u'\u00e9'), little_endian)),
              found(repeat("\xC3\xA9", 9)));
    EXPECT_EQ(lookup(utf16(u"[NETWORK]\nGCIP=a\u65e5\u65e5\u65e5\u65e5\u65e5\u65e5\U0001F600",
                           little_endian)),
              found("a" + repeat("\xE6\x97\xA5", 6)));
    EXPECT_EQ(lookup(utf16(u"[NETWORK]\nGCIP=1\xD800.\xDC00.\xD800", little_endian)),
              found("1\xEF\xBF\xBD.\xEF\xBF\xBD.\xEF\xBF\xBD"))
        << "unpaired surrogates";
    EXPECT_EQ(lookup(utf16(u"[NETWORK]\nGCIP=1.2\u0000.3.4\n", little_endian)), found("1.2"));
  }
  // The first read ends between the two halves of a surrogate pair.
  std::u16string padded = u"[NETWORK]\n;" + std::u16string(kProfileReadChunk / 2 - 19, u'p');
  EXPECT_EQ(lookup(utf16(padded + u"\nGCIP=\U0001F600.\n", true)), found("\xF0\x9F\x98\x80."));
  EXPECT_EQ(lookup("\xFF\xFE[\0N\0"s), kNotFound) << "an odd byte at the end";
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\xE9\xFF\n"), found("\xE9\xFF")) << "bytes stay bytes";
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=" + repeat("\xC3\xA9", 10)),
            found(repeat("\xC3\xA9", 10).substr(0, 19)))
      << "and are cut at 19 bytes";
}

TEST_F(ProfileReader, NulEndsTheContentOfItsLine) {
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=1.2\0.3.4\n"s), found("1.2"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=\0 1.2.3.4\nGCIP=5\n"s), kNotFound);
  EXPECT_EQ(lookup("[NETWORK]\n\0GCIP=1\nGCIP=2\n"s), found("2"));
  EXPECT_EQ(lookup("[NET\0WORK]\nGCIP=1\n"s), kNotFound);
  EXPECT_EQ(lookup("[NETWORK\0]x\nGCIP=1\n"s), found("1"));
  EXPECT_EQ(lookup("[NETWORK]\nGC\0IP=1\nGCIP=2\n"s), found("2"));
}

TEST_F(ProfileReader, NoUsableFileGivesNothing) {
  EXPECT_EQ(lookup_file((dir_ + "/absent.ini").c_str()), kNotFound);
  EXPECT_EQ(lookup_file(dir_.c_str()), kNotFound) << "a directory";
  EXPECT_EQ(lookup(""), kNotFound);
  EXPECT_EQ(lookup("\xEF\xBB\xBF"), kNotFound);
}

// Every way a line can straddle two reads: each character of the key line, and each byte of
// a CR LF, in turn the last one of a read.
TEST_F(ProfileReader, LinesStraddlingReadsAreReadWhole) {
  const std::string key_line = "  GCIP = \"1.2.3.4\"  \r\n";
  for (std::size_t before = kProfileReadChunk - key_line.size() - 2;
       before <= kProfileReadChunk + 1; ++before) {
    std::string padding = "[NETWORK]\n;";
    padding += std::string(before - padding.size() - 1, 'p') + "\n";
    ASSERT_EQ(padding.size(), before);
    EXPECT_EQ(lookup(padding + key_line), found("1.2.3.4")) << "key line at " << before;
    std::string header_at = ";" + std::string(before - 2, 'p') + "\n";
    EXPECT_EQ(lookup(header_at + "\t[ NETWORK ]\r\n" + key_line), found("1.2.3.4"));
    EXPECT_EQ(lookup(header_at + "  x  [NETWORK]\n" + key_line), kNotFound);
    EXPECT_EQ(lookup(header_at + "\0 [NETWORK]\n"s + key_line), kNotFound);
  }
}

TEST_F(ProfileReader, LinesOfAnyLength) {
  const std::string mebibyte(1 << 20, 'x');
  const std::string blanks(1 << 20, ' ');
  EXPECT_EQ(lookup("[NETWORK]\nLONG=" + mebibyte + "\nGCIP=1.2.3.4\n"), found("1.2.3.4"));
  EXPECT_EQ(lookup(";" + mebibyte + "\r[NETWORK]\rGCIP=1.2.3.4\r"), found("1.2.3.4"));
  EXPECT_EQ(lookup("[" + blanks + "NETWORK" + blanks + "]\nGCIP" + blanks + "=" + blanks + "1\n"),
            found("1"));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP='" + mebibyte + "'\n"), found(mebibyte.substr(0, 19)));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP='" + mebibyte + blanks + "\n"),
            found("'" + mebibyte.substr(0, 18)));
  EXPECT_EQ(lookup("[NETWORK]\nGCIP=" + blanks + "\nGCIP=1\n"), kNotFound);
  EXPECT_EQ(lookup("[OTHER]\n" + mebibyte + "=1\n[NETWORK]\nGCIP=1.2.3.4"), found("1.2.3.4"));

  // A value line past 4 GiB, its counters started near the limit rather than fed that much:
  // "10.0.0.1" and 2^32 - 4 more characters is no address on any architecture, never "10.0".
  char value[20];
  ValueCollector collector{value, sizeof value, '\0', 0, 0, '\0', false};
  const std::string start = "10.0.0.1" + std::string(30, 'x');
  collect_value(&collector, start.data(), start.data() + start.size());
  collector.seen = collector.trimmed = (1ULL << 32) - 2;
  collect_value(&collector, mebibyte.data(), mebibyte.data() + 6);
  EXPECT_EQ(finish_value(&collector), 19U);
  EXPECT_STREQ(value, "10.0.0.1xxxxxxxxxxx");
}

}  // namespace
