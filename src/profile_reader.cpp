// Reads values from an initialization file, line by line, the way GetPrivateProfileStringA does:
// - any run of CR and LF ends a line; a NUL ends the content of its line;
// - space, tab and vertical tab are trimmed from lines, names and values;
// - a line starting with '[' is a section header, named up to its first ']';
//   a line starting with ';' is a comment; other lines are split at their first '=';
// - only the first section of the name is searched, and its first line with the key wins;
// - one pair of matching outer quotes is removed from a value;
// - a UTF-16 file's values are cut to whole characters (text_decoding.h reads the text).
// Names are compared ignoring ASCII case. All the keys are looked up in one pass over the file.
#include "profile_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text_decoding.h"

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

bool is_line_break(char c) {
  return c == '\n' || c == '\r';
}

char to_upper_ascii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Decides whether a section or key name, fed a character at a time with its surrounding
// blanks, equals the target, which holds no blanks.
struct NameMatcher {
  const char *target;
  std::size_t matched;
  bool in_trailing_blanks;
  bool failed;
};

void feed_name(NameMatcher *name, char c) {
  if (name->failed) {
    return;
  }
  if (is_blank(c)) {
    name->in_trailing_blanks = name->matched > 0;
    return;
  }
  if (name->in_trailing_blanks || name->target[name->matched] == '\0' ||
      to_upper_ascii(c) != to_upper_ascii(name->target[name->matched])) {
    name->failed = true;
  } else {
    ++name->matched;
  }
}

bool name_matches(const NameMatcher &name) {
  return !name.failed && name.target[name.matched] == '\0';
}

}  // namespace

void collect_value(ValueCollector *value, const char *from, const char *to) {
  if (from == to) {
    return;
  }
  if (value->seen == 0) {
    value->first = *from;
    value->last_non_blank = *from;
    value->seen = value->trimmed = 1;
    ++from;
  }
  unsigned long long stored = value->seen - 1;
  auto length = static_cast<unsigned long long>(to - from);
  if (stored < value->buffer_capacity - 1) {
    unsigned long long room = value->buffer_capacity - 1 - stored;
    std::memcpy(value->buffer + stored, from,
                static_cast<std::size_t>(length < room ? length : room));
  }
  for (const char *c = to; c != from; --c) {
    if (!is_blank(c[-1])) {
      value->trimmed = value->seen + static_cast<unsigned long long>(c - from);
      value->last_non_blank = c[-1];
      break;
    }
  }
  value->seen += length;
}

unsigned long finish_value(ValueCollector *value) {
  unsigned long limit = value->buffer_capacity - 1;
  char first = value->first;
  bool quoted =
      value->trimmed >= 2 && (first == '"' || first == '\'') && value->last_non_blank == first;
  unsigned long count;
  if (quoted) {
    count = value->trimmed - 2 < limit ? static_cast<unsigned long>(value->trimmed - 2) : limit;
  } else {
    count = value->trimmed < limit ? static_cast<unsigned long>(value->trimmed) : limit;
    if (count > 0) {
      std::memmove(value->buffer + 1, value->buffer, count - 1);
      value->buffer[0] = first;
    }
  }
  if (value->whole_characters) {
    count = whole_utf8_prefix(value->buffer, count);
  }
  value->buffer[count] = '\0';
  return count;
}

namespace {

enum LineState { kLineStart, kSectionName, kKeyName, kValueStart, kValue, kSkipLine };

struct Lookup {
  const char *section;
  const char *key;
  LineState state;
  bool in_section;
  bool done;
  unsigned long count;
  NameMatcher name;
  ValueCollector value;
};

void finish_lookup(Lookup *lookup) {
  lookup->done = true;
  lookup->count = lookup->state == kValue ? finish_value(&lookup->value) : 0;
}

// Takes one character in any state but kValue and kSkipLine, which take whole runs of text.
void step(Lookup *lookup, char c) {
  bool line_break = is_line_break(c);
  bool content_end = line_break || c == '\0';
  LineState after_content = line_break ? kLineStart : kSkipLine;
  switch (lookup->state) {
    case kLineStart:
      if (is_blank(c) || line_break) {
        return;
      }
      if (c == '[') {
        if (lookup->in_section) {
          finish_lookup(lookup);  // the section ended without the key
          return;
        }
        lookup->name = NameMatcher{lookup->section, 0, false, false};
        lookup->state = kSectionName;
      } else if (c == '\0' || c == ';' || !lookup->in_section) {
        lookup->state = kSkipLine;
      } else {
        lookup->name = NameMatcher{lookup->key, 0, false, false};
        feed_name(&lookup->name, c);
        lookup->state = lookup->name.failed ? kSkipLine : kKeyName;
      }
      return;
    case kSectionName:
      if (c == ']' || content_end) {
        lookup->in_section = name_matches(lookup->name);
        lookup->state = c == ']' ? kSkipLine : after_content;
        return;
      }
      feed_name(&lookup->name, c);
      if (lookup->name.failed) {
        lookup->state = kSkipLine;
      }
      return;
    case kKeyName:
      if (c == '=') {
        lookup->state = name_matches(lookup->name) ? kValueStart : kSkipLine;
      } else if (content_end) {
        lookup->state = after_content;  // no '=': the line gives no value
      } else {
        feed_name(&lookup->name, c);
        if (lookup->name.failed) {
          lookup->state = kSkipLine;
        }
      }
      return;
    case kValueStart:
      if (content_end) {
        finish_lookup(lookup);
      } else if (!is_blank(c)) {
        lookup->state = kValue;
        collect_value(&lookup->value, &c, &c + 1);
      }
      return;
    case kValue:
    case kSkipLine:
      return;
  }
}

// The next CR or LF at or after `from`, or `end`. The positions found are kept, so that a
// piece of text is searched once whatever its line endings.
struct LineBreaks {
  const char *next_line_feed;
  const char *next_carriage_return;
};

const char *find_or_end(const char *from, const char *end, char c) {
  const void *found = std::memchr(from, c, static_cast<std::size_t>(end - from));
  return found ? static_cast<const char *>(found) : end;
}

const char *next_line_break(LineBreaks *breaks, const char *from, const char *end) {
  if (!breaks->next_line_feed || breaks->next_line_feed < from) {
    breaks->next_line_feed = find_or_end(from, end, '\n');
  }
  if (!breaks->next_carriage_return || breaks->next_carriage_return < from) {
    breaks->next_carriage_return = find_or_end(from, end, '\r');
  }
  return breaks->next_line_feed < breaks->next_carriage_return ? breaks->next_line_feed
                                                               : breaks->next_carriage_return;
}

// Outside the section looked for, only section headers matter, and '[' seldom stands anywhere
// else: so the text is searched for '[', and each one found is checked to start its line.
// Returns where the header found starts, or `end` with the state for the text that follows.
const char *skip_to_header(Lookup *lookup, const char *text, const char *end) {
  bool text_at_line_start = lookup->state == kLineStart;
  for (const char *from = text;;) {
    const char *bracket = find_or_end(from, end, '[');
    const char *line_start = bracket;
    while (line_start > text && is_blank(line_start[-1])) {
      --line_start;
    }
    bool starts_line = line_start == text ? text_at_line_start : is_line_break(line_start[-1]);
    if (bracket == end || starts_line) {
      lookup->state = starts_line ? kLineStart : kSkipLine;
      return bracket;
    }
    from = bracket + 1;
  }
}

void scan_text(Lookup *lookup, const char *text, const char *end) {
  LineBreaks breaks{nullptr, nullptr};
  while (text < end && !lookup->done) {
    if (!lookup->in_section && (lookup->state == kLineStart || lookup->state == kSkipLine)) {
      text = skip_to_header(lookup, text, end);
      if (text != end) {
        step(lookup, *text++);
      }
    } else if (lookup->state == kSkipLine) {
      const char *line_break = next_line_break(&breaks, text, end);
      if (line_break != end) {
        lookup->state = kLineStart;
      }
      text = line_break + (line_break != end);
    } else if (lookup->state == kValue) {
      const char *line_break = next_line_break(&breaks, text, end);
      const char *content_end = find_or_end(text, line_break, '\0');
      collect_value(&lookup->value, text, content_end);
      if (content_end != end) {
        finish_lookup(lookup);
      }
      text = content_end;
    } else {
      step(lookup, *text++);
    }
  }
}

}  // namespace

bool read_profile_strings(FILE *file, const char *section, SettingLookup *lookups,
                          std::size_t count) {
  static Lookup states[kMaxProfileKeys];
  if (count > kMaxProfileKeys) {
    count = kMaxProfileKeys;
  }
  for (std::size_t i = 0; i < count; ++i) {
    SettingLookup &wanted = lookups[i];
    wanted.count = 0;
    if (wanted.capacity > 0) {
      wanted.value[0] = '\0';
    }
    states[i] = Lookup{};
    states[i].section = section;
    states[i].key = wanted.key;
    states[i].value = ValueCollector{wanted.value, wanted.capacity, '\0', 0, 0, '\0', false};
    states[i].done = wanted.capacity == 0;
  }
  TextSource source = start_text(file);
  const char *text;
  std::size_t length;
  for (bool pending = true; pending && read_text(&source, &text, &length);) {
    pending = false;
    for (std::size_t i = 0; i < count; ++i) {
      states[i].value.whole_characters = is_decoded(source);
      scan_text(&states[i], text, text + length);
      pending = pending || !states[i].done;
    }
  }
  bool read_failed = std::ferror(file) != 0;
  int read_error = read_failed && errno == 0 ? EIO : errno;
  for (std::size_t i = 0; i < count; ++i) {
    if (!states[i].done) {
      finish_lookup(&states[i]);  // the end of the file ends the last line
    }
    if (!read_failed) {
      lookups[i].count = states[i].count;
    } else if (lookups[i].capacity > 0) {
      lookups[i].value[0] = '\0';
    }
  }
  errno = read_error;
  return !read_failed;
}

unsigned long read_profile_string(const char *section, const char *key, char *value,
                                  unsigned long capacity, const char *path) {
  SettingLookup lookup{key, value, capacity, 0};
  if (capacity > 0) {
    value[0] = '\0';
  }
  FILE *file = std::fopen(path, "rb");
  if (!file) {
    return 0;
  }
  // Reads go straight into the chunk buffer: the stream needs no buffer of its own.
  (void)std::setvbuf(file, nullptr, _IONBF, 0);
  (void)read_profile_strings(file, section, &lookup, 1);
  (void)std::fclose(file);  // read only: closing cannot lose anything
  return lookup.count;
}
