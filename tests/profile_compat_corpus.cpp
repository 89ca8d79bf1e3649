// The corpus on which the settings reader is compared with Windows' own lookup.
#include <random>

#include "profile_compat.h"

namespace {

using namespace std::string_literals;

std::string network(const std::string &body) {
  return "[NETWORK]\n" + body;
}

std::string utf16_little_endian(const std::u16string &text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string utf16_big_endian(const std::u16string &text) {
  std::string bytes = "\xFE\xFF";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

}  // namespace

std::vector<CompatCase> written_cases() {
  const std::string all = "GCIP=1.1.1.1\nGATEWAY=2.2.2.2\nNETMASK=3.3.3.3\n";
  const std::string mebibyte(1 << 20, 'm');
  std::vector<std::string> agreeing = {
      // Line endings
      "[NETWORK]\r\nGCIP=1.1.1.1\r\nGATEWAY=2.2.2.2\r\nNETMASK=3.3.3.3\r\n",
      "[NETWORK]\nGCIP=1.1.1.1\nGATEWAY=2.2.2.2\nNETMASK=3.3.3.3\n",
      "[NETWORK]\rGCIP=1.1.1.1\rGATEWAY=2.2.2.2\rNETMASK=3.3.3.3\r",
      "[NETWORK]\n\rGCIP=1.1.1.1\n\rGATEWAY=2.2.2.2\n\rNETMASK=3.3.3.3\n\r",
      "[NETWORK]\r\r\nGCIP=1.1.1.1\r\r\nGATEWAY=2.2.2.2\r\r\nNETMASK=3.3.3.3",
      "[NETWORK]\nGCIP=1.1.1.1\rGATEWAY=2.2.2.2\r\nNETMASK=3.3.3.3",
      "\n\n[NETWORK]\n\n\nGCIP=1.1.1.1\n\n\n\nGATEWAY=2.2.2.2\r\n\r\n\r\nNETMASK=3.3.3.3\n\n",
      "",
      "\n",
      "   \n\t\n\v\n",
      "[NETWORK]",
      "[NETWORK]\nGCIP=1",
      // Blanks
      " \t[ NETWORK ]\t\n  GCIP  =  1.1.1.1  \n\tGATEWAY\t=\t2.2.2.2\t\n\vNETMASK\v=\v3.3.3.3\v\n",
      network("GCIP=1 2  3\nGATEWAY= a\tb \nNETMASK=\v\va\v\vb\v\v\n"),
      network("G CIP=1\nGATE WAY=2\nNET\tMASK=3\n"),
      "[NET WORK]\n" + all,
      "[\tNETWORK\v]\n" + all,
      network("GCIP=   \nGATEWAY=\t\nNETMASK=\v\n"),
      network("   GCIP=1\n\t\tGATEWAY=2\n\v\vNETMASK=3\n"),
      // Section headers
      "[network]\ngcip=1\nGateway=2\nnetMask=3\n",
      "[NeTwOrK]\n" + all,
      "[NETWORK]junk\n" + all,
      "[NETWORK]GCIP=1\nGATEWAY=2\n",
      "[NETWORK] ; comment\n" + all,
      "[NETWORK2]\n" + all,
      "[NET]\n" + all,
      "[]\n" + all,
      "[ ]\n" + all,
      "x[NETWORK]\n" + all,
      "=[NETWORK]\n" + all,
      "  [NETWORK]  \n" + all,
      "[OTHER]\nGCIP=1\n[NETWORK]\nGATEWAY=2\n[MORE]\nNETMASK=3\n",
      "[NETWORK]\n[OTHER]\n" + all,
      "[NETWORK]\nGCIP=1\n[NETWORK]\nGCIP=2\nGATEWAY=3\n",
      "[NETWORK]\n[NETWORK]\n" + all,
      "[network]\nGCIP=1\n[NETWORK]\nGATEWAY=2\n",
      "GCIP=0\nGATEWAY=0\n[NETWORK]\nGATEWAY=2\n",
      ";[NETWORK]\n" + all,
      "[;NETWORK]\n" + all,
      "[NETWORK]\n GCIP=1\n[ OTHER ]\nGATEWAY=2\n",
      "[LAN]\nGCIP=9\n[NETWORK]\nGCIP=1\n[LAN]\nGCIP=8\n[NETWORK]\nNETMASK=3\n",
      "[#NETWORK]\n" + all,
      "[NETWORK ]\n" + all,
      "[ NETWORK]\n" + all,
      // Keys
      network("GCIP=\nGCIP=1\nGATEWAY=\t\nGATEWAY=2\n"),
      network("GCIP=1\nGCIP=2\nGATEWAY=3\nGATEWAY=4\n"),
      network("GCIPADDR=1\nMYGCIP=2\nGCI=3\nGCIP2=4\nGATEWAYS=5\nNETMASK_=6\n"),
      network("GCIP=a=b\nGATEWAY==\nNETMASK= = \n"),
      network("=1\n = 2\n\t=3\n"),
      network("gcip=1\nGcIp=2\ngateway=3\nnetmask=4\n"),
      network("GCIP =1\nGATEWAY= 2\nNETMASK = 3\n"),
      network("GCIP\t=\t1\nGATEWAY\v=\v2\n"),
      network("NETMASK=3\nGATEWAY=2\nGCIP=1\n"),
      network("GCIP=[NETWORK]\nGATEWAY=[x]\n"),
      // Comments
      network(";GCIP=1\n  ;GATEWAY=2\nNETMASK=3\n"),
      network("#GCIP=1\n# GATEWAY=2\n#NETMASK=3\n"),
      network("GCIP=1.2.3.4 ; lab\nGATEWAY=1 # x\nNETMASK=;\n"),
      network("GCIP;=1\nGATEWAY#=2\n"),
      network("; GCIP=1\nGCIP=2\n;\n;;\n" + all),
      network("//GCIP=1\nREM GATEWAY=2\n"),
      // Quotes
      network("GCIP=\"1.2.3.4\"\nGATEWAY='2'\nNETMASK=\" 3 \"\n"),
      network("GCIP=\"\"\nGATEWAY=''\nNETMASK=\"\n"),
      network("GCIP=\"1\nGATEWAY=2\"\nNETMASK='3\"\n"),
      network("GCIP= \"1\" \nGATEWAY=\t'2'\t\n"),
      network("GCIP=\"\"1\"\"\nGATEWAY=''2''\n"),
      network("GCIP='\"'\nGATEWAY=\"'\"\nNETMASK='\n"),
      network("GCIP=\"a\" b\"\nGATEWAY='a' 'b'\n"),
      network("GCIP=\"1\"x\nGATEWAY=x\"2\"\n"),
      network("GCIP=`1`\nGATEWAY=\"\"\"\n"),
      network("GCIP=\"   \"\nGATEWAY=' '\n"),
      // The cut at 19 characters
      network("GCIP=1234567890123456789\nGATEWAY=12345678901234567890\nNETMASK="
              "123456789012345678901\n"),
      network("GCIP=" + std::string(100, '7') + "\nGATEWAY=" + std::string(1000, '8') + "\n"),
      network("GCIP=\"12345678901234567890\"\nGATEWAY='123456789012345678'\n"),
      network("GCIP=      12345678901234567890\nGATEWAY=\t\t\t1234567890123456789\t\t\n"),
      network("GCIP=123456789012345678 x\nGATEWAY=12345678901234567   y\n"),
      network("GCIP=\"123456789012345678\" \nGATEWAY=\"1234567890123456789 \"\n"),
      network("GCIP=1234567890123456789       \n"),
      // Encodings
      utf16_little_endian(u"[NETWORK]\r\nGCIP=1.1.1.1\r\nGATEWAY=2.2.2.2\r\nNETMASK=3.3.3.3\r\n"),
      utf16_little_endian(u"[network]\nGCIP = \"1\"\n;GATEWAY=2\n"),
      utf16_little_endian(u"[NETWORK]\nGCIP=\u00e9\u00ff\u00a0x\nGATEWAY=\u4e2d\u6587\n"),
      utf16_little_endian(u"[NETWORK]\nGCIP=" + std::u16string(30, u'9') + u"\n"),
      utf16_big_endian(u"[NETWORK]\r\nGCIP=1.1.1.1\r\nGATEWAY=2.2.2.2\r\nNETMASK=3.3.3.3\r\n"),
      "\xEF\xBB\xBF[NETWORK]\n" + all,
      "\xEF\xBB\xBF\n[NETWORK]\n" + all,
      utf16_little_endian(u"[NETWORK]\nGCIP=\u20ac\u65e5\U0001F600\nGATEWAY=\u041f\u0440\n"
                          u"NETMASK=1\xD800.\xDC00\n"),
      utf16_big_endian(u"[NETWORK]\nGCIP=\u65e5\u672c\nGATEWAY=" + std::u16string(6, u'\u65e5') +
                       u"\n"),
      network("GCIP=caf\xC3\xA9\nGATEWAY=\xE6\x97\xA5\xE6\x9C\xAC\n"),
      "[N\xC9TWORK]\n" + all,
      // NUL bytes
      network("GCIP=1.2\0.3.4\nGATEWAY=\0\nNETMASK=3\0\n"s),
      network("\0GCIP=1\nGC\0IP=2\nGATEWAY=2\n"s),
      "[NET\0WORK]\n"s + all,
      // Length
      ";" + mebibyte + "\n[NETWORK]\n" + all,
      network("LONG=" + mebibyte + "\n" + all),
      network("GCIP=" + mebibyte + "\n"),
      network("GCIP='" + mebibyte + "'\nGATEWAY=\"" + mebibyte + "\n"),
      "[" + mebibyte + "]\n" + all,
      network(std::string(1 << 16, ' ') + "GCIP=1\n"),
  };
  for (int i = 0; i < 20; ++i) {
    std::string many;
    for (int j = 0; j < 200 * i; ++j) {
      many += "[S" + std::to_string(j) + "]\nGCIP=" + std::to_string(j) + "\n";
    }
    agreeing.push_back(many + network(std::to_string(i) + "=x\n" + all));
  }

  std::vector<CompatCase> cases;
  for (const std::string &contents : agreeing) {
    cases.push_back(CompatCase{contents, {}});
  }
  // Wine's lookup differs from Windows' here; the answers are Wine's.
  const CompatCase wine_differs[] = {
      // Under the UTF-8 code page, bytes that are not UTF-8 come back as U+FFFD; the reader keeps
      // a file's bytes as they are.
      {network("GCIP=\xE9\xE8\nGATEWAY=\xFF\xFE\nNETMASK=\x80\n"),
       {"\xEF\xBF\xBD\xEF\xBF\xBD", "\xEF\xBF\xBD\xEF\xBF\xBD", "\xEF\xBF\xBD"}},
      // A cut inside a character: Wine places the whole characters that fit but counts 19, and
      // leaves the bytes between unwritten (shown as the X they were filled with).
      {utf16_little_endian(u"[NETWORK]\nGCIP=" + std::u16string(10, u'\u00e9') +
                           u"\nNETMASK=a\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\n"),
       {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9X", "",
        "a\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80XX"}},
      // Wine gives one character less of a quoted value exactly 19 characters long.
      {network("GCIP=\"001.002.003.0000004\"\nGATEWAY='12345678901234567890'\n"),
       {"001.002.003.000000", "1234567890123456789", ""}},
      // A header without ']' is no header to Wine.
      {"[NETWORK\n" + all, {"", "", ""}},
      {"[NETWORK]\nGCIP=1\n[NETWORK\nGATEWAY=2\n", {"1", "2", ""}},
      {"[OTHER]\n[NETWORK  \nGCIP=1\n", {"", "", ""}},
      // Wine ends the name at the last ']'.
      {"[NETWORK]]\n" + all, {"", "", ""}},
      {"[NETWORK] [LAN]\n" + all, {"", "", ""}},
      {"[NETWORK]x]\nGCIP=1\n", {"", "", ""}},
      // A line holding just the key stops Wine's lookup.
      {network("GCIP\nGCIP=1\nGATEWAY=2\n"), {"", "2", ""}},
      {network("gateway\nGATEWAY=2\nNETMASK \nNETMASK=3\n"), {"", "", ""}},
      // Wine also trims form feeds and Ctrl-Z, which Windows keeps.
      {network("GCIP=\f1\f\nGATEWAY= \f \nNETMASK=\f\n"), {"1", "", ""}},
      {network("GCIP=\x1A"
               "1\x1A\nGATEWAY=\x1A\n\x1ANETMASK=3\n"),
       {"1", "", "3"}},
  };
  cases.insert(cases.end(), std::begin(wine_differs), std::end(wine_differs));
  return cases;
}

std::vector<CompatCase> generated_cases(unsigned seed, int count) {
  static const char *const kHeaders[] = {"[NETWORK]",  "[network]", "[ NETWORK ]", "[OTHER]",
                                         "[NETWORK2]", "[LAN]",     "[]",          "[NET WORK]"};
  static const char *const kNames[] = {"GCIP",  "gcip", "GATEWAY", "NETMASK", "NetMask", "GCIPX",
                                       "XGCIP", "",     "G CIP",   "#GCIP",   "GATEWAY2"};
  static const char *const kValues[] = {"1.2.3.4",
                                        "",
                                        " ",
                                        "\"10.0.0.1\"",
                                        "'a'",
                                        "\"",
                                        "a=b",
                                        "x ; y",
                                        "12345678901234567890123",
                                        "  \"q\"  ",
                                        "'",
                                        "255.255.255.0",
                                        "\"\"",
                                        "a\tb",
                                        "[NETWORK]",
                                        "12345678901234567 9"};
  static const char *const kBlanks[] = {"", "", "", " ", "\t", "\v", "  \t"};
  static const char *const kLineEnds[] = {"\n", "\n", "\r\n", "\r", "\n\r", "\n\n"};
  std::mt19937 random(seed);
  auto pick = [&random](const auto &choices) {
    return choices[random() % (sizeof choices / sizeof choices[0])];
  };
  std::vector<CompatCase> cases;
  for (int i = 0; i < count; ++i) {
    std::string contents;
    for (unsigned lines = 1 + random() % 12; lines > 0; --lines) {
      unsigned kind = random() % 10;
      contents += pick(kBlanks);
      if (kind < 2) {
        contents += pick(kHeaders);
      } else if (kind < 8) {
        contents += std::string(pick(kNames)) + pick(kBlanks) + "=" + pick(kBlanks) + pick(kValues);
      } else if (kind < 9) {
        contents += std::string(";") + pick(kNames) + "=" + pick(kValues);
      }
      contents += std::string(pick(kBlanks)) + pick(kLineEnds);
    }
    cases.push_back(CompatCase{contents, {}});
  }
  return cases;
}
