// Runs the utility as a user would, each case in a fresh directory, and checks what the user
// sees: the lines printed, the exit status, an empty standard error, and the image byte for byte.
//
// The program to run follows "--" on the command line, with any runner before it, so the same
// cases run every build:   end_to_end_test -- build/native/halmere-netcfg
//                          end_to_end_test --windows -- wine build/win32/halmere-netcfg.exe
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

std::vector<std::string> program_command;
bool windows_build = false;

constexpr long kBlockOffset = 0x16DE0;
constexpr long kBlockEnd = kBlockOffset + 12;
constexpr long kImageSize = 128 * 1024;
// What ends a run that hangs; long enough for a run under full-system emulation, where reading a
// 64 MiB settings file through Wine takes half a minute.
constexpr unsigned kRunSeconds = 120;
// Under emulation a Wine program takes seconds to start, and its window longer to appear.
constexpr unsigned kWindowSeconds = 120;

const char kDefaultSettings[] =
    "[NETWORK]\nGCIP=192.168.0.50\nGATEWAY=192.168.0.1\nNETMASK=255.255.255.0\n";
const std::string kDefaultBlock("\xFF\xFF\xFF\x00\xC0\xA8\x00\x01\xC0\xA8\x00\x32", 12);

const char kUnableToOpen[] = "Unable to open halmere02a.dol for update";
const char kTooShort[] = "halmere02a.dol is too short to hold the network block";
const char kUnableToWrite[] = "Unable to write network information to halmere02a.dol";
const char kInUse[] = "halmere02a.dol is in use by another program; nothing was written";
const char kNotRestored[] =
    "Unable to write network information to halmere02a.dol, nor to put back what it held: its "
    "network block may be changed";
const char kSystemDirectory[] =
    "Unable to work in C:\\windows: it belongs to the system, and holds no image";
const char kNoDirectory[] = "Unable to determine the current directory";
const char kSuccess[] = "Network information updated successfully";

std::string read_file(const std::string &path) {
  std::string contents;
  if (FILE *file = std::fopen(path.c_str(), "rb")) {
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
      contents.append(chunk, got);
    }
    std::fclose(file);
  }
  return contents;
}

void write_file(const std::string &path, const std::string &contents) {
  FILE *file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fwrite(contents.data(), 1, contents.size(), file);
  ASSERT_EQ(std::fclose(file), 0);
}

// By a directory's descriptor, for directories whose paths are too long to open files by.
void write_file_at(int directory, const char *name, const std::string &contents) {
  int out = openat(directory, name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(out, 0) << name;
  ASSERT_EQ(write(out, contents.data(), contents.size()), static_cast<ssize_t>(contents.size()));
  close(out);
}

std::string read_file_at(int directory, const char *name) {
  std::string contents(1 << 20, '\0');
  int in = openat(directory, name, O_RDONLY);
  ssize_t got = in < 0 ? 0 : read(in, contents.data(), contents.size());
  contents.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
  close(in);
  return contents;
}

// strace slows down or fails the system calls of the Linux program, also one run by QEMU's
// user-mode emulator, whose calls are the program's; it cannot see into Wine's. A sanitizer
// build's leak check cannot work under it.
std::vector<std::string> strace_command(std::initializer_list<std::string> options) {
  std::vector<std::string> command = {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-qq"};
  command.insert(command.end(), options);
  command.insert(command.end(), program_command.begin(), program_command.end());
  return command;
}

// Empty where strace can trace a program here; elsewhere why not, in its words: on a machine that
// QEMU's user-mode emulator runs, which gives no ptrace, strace itself cannot start one.
const std::string &strace_unavailable() {
  static const std::string reason = [] {
    std::string words;
    FILE *output = popen("strace -qq -o /dev/null true 2>&1", "r");
    char chunk[256];
    while (output && std::fgets(chunk, sizeof chunk, output)) {
      words += words.empty() ? chunk : "";
    }
    int status = output ? pclose(output) : -1;
    words = words.substr(0, words.find('\n'));
    return status == 0 ? std::string() : "strace cannot trace a program here: " + words;
  }();
  return reason;
}

// How the kernel shows a process asleep in nanosleep(), as the program sleeps between its tries:
// the number of the system call that the C library's nanosleep makes. It differs by
// architecture, and under QEMU's user-mode emulator it is that of the machine's own call, so it
// is read off a child of this test asleep, which the test's C library and any emulator put to
// sleep as they put the program.
const std::string &sleeping_call() {
  static const std::string number = [] {
    pid_t child = fork();
    if (child == 0) {
      timespec hour{3600, 0};
      nanosleep(&hour, nullptr);
      _exit(0);
    }
    const std::string process = "/proc/" + std::to_string(child);
    std::string call, previous;
    for (int attempt = 0; attempt < 4000 && call.empty(); ++attempt, usleep(5000)) {
      std::string stat = read_file(process + "/stat"), now = read_file(process + "/syscall");
      std::size_t state = stat.rfind(") ");
      now = now.substr(0, now.find(' ') + 1);
      if (state != std::string::npos && stat[state + 2] == 'S' && now == previous &&
          std::isdigit(static_cast<unsigned char>(now[0]))) {
        call = now;
      }
      previous = now;
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return call;
  }();
  return number;
}

// A pattern in which every byte differs from its neighbours, so a write in the wrong place shows.
std::string image_bytes(long size) {
  std::string bytes(static_cast<std::size_t>(size), '\0');
  for (long i = 0; i < size; ++i) {
    bytes[static_cast<std::size_t>(i)] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  }
  return bytes;
}

// Compares images by length and first differing offset, rather than printing them whole.
testing::AssertionResult same_image(const std::string &actual, const std::string &expected) {
  if (actual.size() != expected.size()) {
    return testing::AssertionFailure()
           << "length " << actual.size() << ", expected " << expected.size();
  }
  auto difference = std::mismatch(actual.begin(), actual.end(), expected.begin());
  if (difference.first != actual.end()) {
    return testing::AssertionFailure()
           << "differs at offset " << (difference.first - actual.begin());
  }
  return testing::AssertionSuccess();
}

std::string settings(const std::string &gcip, const std::string &gateway,
                     const std::string &netmask) {
  return "[NETWORK]\nGCIP=" + gcip + "\nGATEWAY=" + gateway + "\nNETMASK=" + netmask + "\n";
}

// A Unix socket bound at `path`, which no program can open as a file; close the result after.
int bind_socket(const std::string &path) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0) << path;
  return fd;
}

// A lease that the test itself holds on a file, as Samba's kernel oplocks take one for a Windows
// client that has the file open: an open that conflicts with it (any open for a write lease, one
// for writing for a read lease) asks the holder, by SIGIO, to let go. `answers`: it lets go, as a
// client answering its oplock break does. Close the result to end the lease.
int lease_held = -1;
int hold_lease(const std::string &path, int type, bool answers) {
  struct sigaction on_break = {};
  on_break.sa_handler = answers ? [](int) { fcntl(lease_held, F_SETLEASE, F_UNLCK); } : [](int) {};
  on_break.sa_flags = SA_RESTART;  // the test waits for a run meanwhile
  sigaction(SIGIO, &on_break, nullptr);
  lease_held = open(path.c_str(), (type == F_RDLCK ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  EXPECT_EQ(fcntl(lease_held, F_SETLEASE, type), 0) << path << ": " << std::strerror(errno);
  return lease_held;
}

// Removes a tree by descriptors, so that trees deeper than PATH_MAX go too.
void remove_tree(int parent, const char *name) {
  int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (fd >= 0) {
    fchmod(fd, 0700);
    DIR *dir = fdopendir(fd);
    while (dirent *entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        remove_tree(fd, entry->d_name);
      }
    }
    closedir(dir);
    unlinkat(parent, name, AT_REMOVEDIR);
  } else {
    unlinkat(parent, name, 0);
  }
}

// What a directory holds: each entry's name with its size, contents' hash and mode, or its kind.
std::map<std::string, std::string> snapshot(const std::string &path) {
  std::map<std::string, std::string> entries;
  DIR *dir = opendir(path.c_str());
  while (dirent *entry = dir ? readdir(dir) : nullptr) {
    std::string name = entry->d_name, full = path + "/" + name;
    struct stat status;
    if (name == "." || name == ".." || lstat(full.c_str(), &status) != 0) {
      continue;
    }
    char target[256] = {};
    if (S_ISLNK(status.st_mode) && readlink(full.c_str(), target, sizeof target - 1) >= 0) {
      entries[name] = std::string("link to ") + target;
    } else if (S_ISDIR(status.st_mode)) {
      entries[name] = "directory";
    } else if (S_ISFIFO(status.st_mode)) {
      entries[name] = "named pipe";
    } else {
      std::string contents = read_file(full);
      entries[name] = std::to_string(contents.size()) + " bytes, hash " +
                      std::to_string(std::hash<std::string>{}(contents)) + ", mode " +
                      std::to_string(status.st_mode & 07777);
    }
  }
  if (dir) {
    closedir(dir);
  }
  return entries;
}

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/netcfg-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    work_ = root_ + "/work";
    command_ = program_command;
    ASSERT_EQ(mkdir(work_.c_str(), 0755), 0);
  }

  void TearDown() override {
    for (const auto &[command, input] : inputs_) {
      close(input);
    }
    remove_tree(AT_FDCWD, root_.c_str());
  }

  // Runs the program in `directory`; `prepare` runs in the child just before it starts, `during`
  // in the test while it runs. A run that hangs is ended by SIGALRM.
  RunResult run(const std::function<void()> &prepare = {}, const std::string &directory = "",
                const std::vector<std::string> &arguments = {},
                const std::function<void()> &during = {}) {
    // Named apart, so that a run may start another while it runs.
    std::string out_path = root_ + "/stdout" + std::to_string(++runs_);
    std::string err_path = root_ + "/stderr" + std::to_string(runs_);
    std::string where = directory.empty() ? work_ : directory;
    pid_t child = fork();
    if (child == 0) {
      int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(where.c_str()) != 0) {
        _exit(126);
      }
      setenv("PWD", where.c_str(), 1);  // as a shell sets it, and Wine reads it
      alarm(run_seconds_);
      if (prepare) {
        prepare();
      }
      std::vector<char *> argv;
      for (const std::string &word : command_) {
        argv.push_back(const_cast<char *>(word.c_str()));
      }
      for (const std::string &word : arguments) {
        argv.push_back(const_cast<char *>(word.c_str()));
      }
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    running_ = {child, out_path};
    if (during) {
      during();
    }
    int status = 0;
    waitpid(child, &status, 0);
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                     read_file(out_path), read_file(err_path)};
    // What strace says of a relative path given to -P is its own, not the program's.
    if (result.err.rfind("strace: Requested path", 0) == 0) {
      result.err.erase(0, result.err.find('\n') + 1);
    }
    unlink(out_path.c_str());
    unlink(err_path.c_str());
    return result;
  }

  // Waits until the running program has the file at `path` open for writing: not the test before
  // it started the program, whose copy of the test's descriptors holds it only for reading. (Its
  // executable tells nothing under QEMU's user-mode emulator, which runs both.)
  void wait_until_running_program_opens(const std::string &path) const {
    struct stat wanted = {};
    ASSERT_EQ(stat(path.c_str(), &wanted), 0);
    const std::string process = "/proc/" + std::to_string(running_.child);
    for (int attempt = 0; attempt < 4000; ++attempt, usleep(5000)) {
      DIR *dir = opendir((process + "/fd").c_str());
      while (dirent *entry = dir ? readdir(dir) : nullptr) {
        struct stat open_file = {};
        std::string info = read_file(process + "/fdinfo/" + entry->d_name);
        std::size_t flags = info.find("flags:");
        if (stat((process + "/fd/" + entry->d_name).c_str(), &open_file) == 0 &&
            open_file.st_dev == wanted.st_dev && open_file.st_ino == wanted.st_ino &&
            flags != std::string::npos &&
            (std::strtoul(info.c_str() + flags + 6, nullptr, 8) & O_ACCMODE) != O_RDONLY) {
          closedir(dir);
          return;
        }
      }
      if (dir) {
        closedir(dir);
      }
    }
    ADD_FAILURE() << "the program never opened " << path;
  }

  // A path as the program shows it: under Wine, on the drive for the whole file system.
  static std::string shown_path(std::string path) {
    if (windows_build) {
      for (char &c : path) {
        c = c == '/' ? '\\' : c;
      }
      path = "Z:" + path;
    }
    return path;
  }

  static std::string shown_settings_path(const std::string &directory) {
    return shown_path(directory + "/halmere02.ini");
  }

  // Runs a command beside the program's run, such as a helper or an X client, in the test's
  // directory.
  RunResult run_beside(const std::vector<std::string> &command) {
    std::vector<std::string> program = command_;
    command_ = command;
    RunResult result = run();
    command_ = program;
    return result;
  }

  // Starts a command beside the runs, in the test's directory, and returns once it has written
  // its first line (that it holds a file, or has begun) or ended. Its input is a pipe from the
  // test, which `let_go` closes.
  pid_t start_beside(const std::vector<std::string> &command) {
    int ready[2], input[2];
    EXPECT_EQ(pipe(ready), 0);
    EXPECT_EQ(pipe2(input, O_CLOEXEC), 0);  // no run may keep it open
    pid_t child = fork();
    if (child == 0) {
      if (dup2(ready[1], 1) < 0 || dup2(input[0], 0) < 0 || chdir(work_.c_str()) != 0) {
        _exit(126);
      }
      alarm(kRunSeconds);
      std::vector<char *> argv;
      for (const std::string &word : command) {
        argv.push_back(const_cast<char *>(word.c_str()));
      }
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(ready[1]);
    close(input[0]);
    inputs_[child] = input[1];
    char first;
    (void)!read(ready[0], &first, 1);
    close(ready[0]);
    return child;
  }

  // Ends the input of a command started beside the runs, which a holder takes as the moment to
  // let go, and waits for its end.
  void let_go(pid_t command) {
    close(inputs_[command]);
    inputs_.erase(command);
    waitpid(command, nullptr, 0);
  }

  // A command that holds `name` for writing, as another program would, until let go.
  pid_t hold(const std::string &name) {
    return start_beside(windows_build ? windows_helper("windows_helper.exe", {"hold", name})
                                      : std::vector<std::string>{"flock", "-o", name, "sh", "-c",
                                                                 "echo held; exec cat >/dev/null"});
  }

  // Returns once the run in progress has tried the image that another program holds, found it
  // held and is waiting for it, or has ended; so the wait is seen however slowly the machine
  // runs. The Windows program opens the image anew at each attempt, and while it is held the
  // attempt is closed again at once; the Linux program keeps it open and sleeps between
  // attempts at its lock, and nowhere else. `opens`: an inotify descriptor watching the image,
  // made once the holder held it.
  void wait_until_turned_away(int opens) {
    const std::string process = "/proc/" + std::to_string(running_.child);
    for (;;) {
      std::string stat = read_file(process + "/stat");
      std::size_t state = stat.rfind(") ");
      if (state == std::string::npos || stat[state + 2] == 'Z') {
        return;
      }
      if (windows_build) {
        pollfd ready{opens, POLLIN, 0};
        alignas(inotify_event) char events[4096];
        if (poll(&ready, 1, 100) == 1 && read(opens, events, sizeof events) > 0) {
          return;  // only a closed attempt is watched for
        }
        continue;
      }
      if (read_file(process + "/syscall").rfind(sleeping_call(), 0) == 0) {
        return;
      }
      usleep(1000);
    }
  }

  // A Windows helper program (see windows_helper.cpp), run under the program's Wine.
  static std::vector<std::string> windows_helper(const std::string &name,
                                                 std::initializer_list<std::string> arguments) {
    const char *helpers = std::getenv("NETCFG_E2E_WINDOWS_HELPERS");
    std::vector<std::string> command = {program_command.front(),
                                        std::string(helpers ? helpers : ".") + "/" + name};
    command.insert(command.end(), arguments);
    return command;
  }

  // Makes the next runs those of an unprivileged user, for whom file modes count (root may open
  // any file), from a copy of the program that user can reach wherever the build is. Returns
  // what the run must do in the child first.
  std::function<void()> unprivileged() {
    const passwd *nobody = getpwnam("nobody");
    if (geteuid() == 0) {
      EXPECT_NE(nobody, nullptr);
      EXPECT_EQ(chmod(root_.c_str(), 0755), 0);
      std::string copy = root_ + "/program";
      write_file(copy, read_file(command_.back()));
      EXPECT_EQ(chmod(copy.c_str(), 0755), 0);
      command_.back() = copy;
    }
    const char *prefix = std::getenv("NETCFG_E2E_UNPRIVILEGED_WINEPREFIX");
    return [nobody, prefix] {
      if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
                             setuid(nobody->pw_uid) != 0)) {
        _exit(125);
      }
      if (prefix) {
        setenv("WINEPREFIX", prefix, 1);
      }
    };
  }

  std::string settings_path() const {
    return shown_settings_path(work_);
  }

  // What the console shows for a run that ends with `outcome`.
  static std::string screen(const std::string &outcome) {
    std::string text;
    const char *line_end = windows_build ? "\r\n" : "\n";
    for (const std::string &line : {std::string("halmere Network Configuration Utility"),
                                    std::string("Version 0.2a"), std::string(), outcome}) {
      text += line + line_end;
    }
    return text;
  }

  static void expect_outcome(const RunResult &result, int status, const std::string &outcome) {
    EXPECT_EQ(result.out, screen(outcome));
    EXPECT_EQ(result.status, status);
    EXPECT_EQ(result.err, "");
  }

  void write_settings(const std::string &contents, const std::string &directory = "") {
    write_file((directory.empty() ? work_ : directory) + "/halmere02.ini", contents);
  }

  std::string image_path(const std::string &directory = "") const {
    return (directory.empty() ? work_ : directory) + "/halmere02a.dol";
  }

  void write_image(long size = kImageSize, const std::string &directory = "") {
    write_file(image_path(directory), image_bytes(size));
  }

  // Runs the program on the default image and expects success; returns the network block.
  std::string block_written(const std::string &settings_text) {
    write_settings(settings_text);
    write_image();
    RunResult result = run();
    expect_outcome(result, 0, kSuccess);
    return read_file(image_path()).substr(kBlockOffset, 12);
  }

  // Runs the program and expects it to fail without changing anything in the directory.
  void expect_failure_changes_nothing(const std::string &outcome,
                                      const std::function<void()> &prepare = {}) {
    auto before = snapshot(work_);
    expect_outcome(run(prepare), 1, outcome);
    EXPECT_EQ(snapshot(work_), before) << "the directory changed";
  }

  std::string root_;
  std::string work_;
  std::vector<std::string> command_;
  unsigned run_seconds_ = kRunSeconds;
  int runs_ = 0;
  // The run under way, for `during` to look at before it starts runs of its own.
  struct {
    pid_t child = 0;
    std::string out_path;
  } running_;
  std::map<pid_t, int> inputs_;  // of the commands started beside the runs
};

// Whether `condition` comes to hold within `seconds`, asked again every half second.
bool eventually(unsigned seconds, const std::function<bool()> &condition) {
  const std::time_t deadline = std::time(nullptr) + seconds;
  while (!condition()) {
    if (std::time(nullptr) >= deadline) {
      return false;
    }
    usleep(500000);
  }
  return true;
}

std::string missing(const std::string &key, const std::string &path) {
  return "Unable to locate " + key + " in " + path;
}

std::string invalid(const std::string &text, const std::string &key, const std::string &path) {
  return "Invalid address \"" + text + "\" for " + key + " in " + path;
}

TEST_F(EndToEnd, WritesTheThreeAddressesIntoTheBlockAndNothingElse) {
  write_settings(kDefaultSettings);
  write_image();
  expect_outcome(run(), 0, kSuccess);
  std::string expected = image_bytes(kImageSize).replace(kBlockOffset, 12, kDefaultBlock);
  EXPECT_TRUE(same_image(read_file(image_path()), expected));

  // Again, with arguments, which are ignored: the same lines and the same image.
  expect_outcome(run({}, "", {"--help", "-v", "x"}), 0, kSuccess);
  EXPECT_TRUE(same_image(read_file(image_path()), expected));

  // With output to a pipe nobody reads, the status still tells what became of the image.
  write_image();
  RunResult unread = run([] {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0 || dup2(pipe_ends[1], 1) < 0) {
      _exit(126);
    }
    close(pipe_ends[0]);
  });
  EXPECT_EQ(unread.status, 0);
  EXPECT_EQ(unread.err, "");
  EXPECT_TRUE(same_image(read_file(image_path()), expected));
}

TEST_F(EndToEnd, AnImageEndingWithTheBlockIsLongEnough) {
  write_settings(kDefaultSettings);
  write_image(kBlockEnd);
  expect_outcome(run(), 0, kSuccess);
  EXPECT_TRUE(same_image(read_file(image_path()),
                         image_bytes(kBlockEnd).replace(kBlockOffset, 12, kDefaultBlock)));
  // One of 3 GiB, past what 32-bit file offsets reach, is an image like any other: a 32-bit
  // build writes its block and leaves its length.
  write_image();
  const off_t huge = 3LL << 30;
  ASSERT_EQ(truncate(image_path().c_str(), huge), 0);
  expect_outcome(run(), 0, kSuccess);
  struct stat status = {};
  ASSERT_EQ(stat(image_path().c_str(), &status), 0);
  EXPECT_EQ(status.st_size, huge);
  std::string start(kImageSize, '\0');
  int image = open(image_path().c_str(), O_RDONLY);
  EXPECT_EQ(pread(image, start.data(), start.size(), 0), kImageSize);
  close(image);
  EXPECT_TRUE(same_image(start, image_bytes(kImageSize).replace(kBlockOffset, 12, kDefaultBlock)));
}

TEST_F(EndToEnd, AddressTextsAreReadAsTheSocketsLibraryReadsThem) {
  const std::pair<const char *, const char *> cases[] = {
      {"192.168.1", "\xC0\xA8\x00\x01"},           {"10.258", "\x0A\x00\x01\x02"},
      {"192.168.001.010", "\xC0\xA8\x01\x08"},     {"0x7f.1", "\x7F\x00\x00\x01"},
      {"1.2.3.4 ; lab", "\x01\x02\x03\x04"},       {"255.255.255.255", "\xFF\xFF\xFF\xFF"},
      {"\"10.0.0.1\"", "\x0A\x00\x00\x01"},        {"0.0.0.0", "\0\0\0\0"},
      {"0xffffffff", "\xFF\xFF\xFF\xFF"},          {"4294967295", "\xFF\xFF\xFF\xFF"},
      {"037777777777", "\xFF\xFF\xFF\xFF"},        {"0377.0377.0377.0377", "\xFF\xFF\xFF\xFF"},
      {"0xff.0xff.0xff.0xff", "\xFF\xFF\xFF\xFF"}, {"0xFF.255.255.255 x", "\xFF\xFF\xFF\xFF"},
      {"255.16777215", "\xFF\xFF\xFF\xFF"},
  };
  for (const auto &[text, octets] : cases) {
    std::string expected(octets, 4);
    EXPECT_EQ(block_written(settings(text, "10.0.0.1", "255.0.0.0")).substr(8), expected)
        << "GCIP=" << text;
  }
}

// Each way a value can be unusable, for each key in turn, the other two being good.
TEST_F(EndToEnd, EveryUnusableValueIsNamedWithItsKeyAndNothingIsTouched) {
  write_image();
  const std::string path = settings_path();
  const char *const good[] = {"192.168.0.50", "192.168.0.1", "255.255.255.0"};
  const char *const keys[] = {"GCIP", "GATEWAY", "NETMASK"};
  struct Unusable {
    const char *value;  // nullptr: the key is absent
    const char *shown;  // the text in the message; nullptr: reported as missing
  };
  const Unusable unusable[] = {
      {nullptr, nullptr},
      {"", nullptr},
      {" \t\v ", nullptr},
      {"\"\"", nullptr},
      {"\"  \"", "  "},
      {"router.local", "router.local"},
      {"192.168.0.256", "192.168.0.256"},
      {"255.255.255.0.", "255.255.255.0."},
      {"'192.168.0.50", "'192.168.0.50"},
      {"-1.2.3.4", "-1.2.3.4"},
      {"10.0.0.1.2.3.4.5.6.7.8", "10.0.0.1.2.3.4.5.6."},  // as read: cut at 19 characters
      {"4294967296", "4294967296"},
      {"0x1ffffffff", "0x1ffffffff"},
      {"255.255.255.0x100", "255.255.255.0x100"},
      // Control characters are shown escaped, so that they cannot rewrite the terminal.
      {"1\x1B[2K\x1B[1G\x1B[8m\x7F", "1\\x1B[2K\\x1B[1G\\x1B[8m\\x7F"},
      {"1\xC2\x9B"
       "2J\xC3\xA9",
       "1\\xC2\\x9B2J\xC3\xA9"},  // C1, in UTF-8
  };
  for (int k = 0; k < 3; ++k) {
    for (const Unusable &bad : unusable) {
      std::string contents = "[NETWORK]\n";
      for (int other = 0; other < 3; ++other) {
        const char *value = other == k ? bad.value : good[other];
        contents += value ? std::string(keys[other]) + "=" + value + "\n" : "";
      }
      SCOPED_TRACE(contents);
      write_settings(contents);
      expect_failure_changes_nothing(bad.shown ? invalid(bad.shown, keys[k], path)
                                               : missing(keys[k], path));
    }
  }
}

TEST_F(EndToEnd, TheFirstProblemInLookupOrderIsTheOneReported) {
  write_image();
  const std::string path = settings_path();
  const std::pair<std::string, std::string> cases[] = {
      {"[NETWORK]\n", missing("GCIP", path)},
      {"[NETWORK]\nNETMASK=x\nGCIP=y\n", missing("GATEWAY", path)},
      {"[NETWORK]\nGCIP=router.local\nGATEWAY=192.168.0.1\n", missing("NETMASK", path)},
      {settings("x", "192.168.0.1", "y"), invalid("x", "GCIP", path)},
      {settings("192.168.0.50", "x", "y"), invalid("x", "GATEWAY", path)},
  };
  for (const auto &[contents, outcome] : cases) {
    write_settings(contents);
    expect_failure_changes_nothing(outcome);
  }
}

TEST_F(EndToEnd, ASettingsFileWithoutTheSettingsIsReportedAsSuch) {
  write_image();
  const std::string path = settings_path();
  expect_failure_changes_nothing(missing("GCIP", path));  // no settings file at all
  const std::string files[] = {
      "",
      "[OTHER]\nGCIP=1.2.3.4\nGATEWAY=1.2.3.4\nNETMASK=1.2.3.4\n",
      "\x01\xFF\xFE\x00junk\x00\r\x7F\x80[NETWORK"s,
      "[NET\0WORK]\n"s + (kDefaultSettings + 10),
  };
  for (const std::string &contents : files) {
    write_settings(contents);
    expect_failure_changes_nothing(missing("GCIP", path));
  }
  // What is no regular file is no settings file, and is not waited for nor read without end.
  const std::string settings_file = work_ + "/halmere02.ini";
  unlink(settings_file.c_str());
  ASSERT_EQ(mkdir(settings_file.c_str(), 0755), 0);
  expect_failure_changes_nothing(missing("GCIP", path));
  rmdir(settings_file.c_str());
  ASSERT_EQ(mkfifo(settings_file.c_str(), 0644), 0);
  expect_failure_changes_nothing(missing("GCIP", path));
  for (const char *device : {"/dev/zero", "/dev/urandom"}) {
    unlink(settings_file.c_str());
    ASSERT_EQ(symlink(device, settings_file.c_str()), 0);
    expect_failure_changes_nothing(missing("GCIP", path));
  }
  unlink(settings_file.c_str());
  int socket = bind_socket(settings_file);
  expect_failure_changes_nothing(missing("GCIP", path));
  close(socket);

  // One that is there but cannot be read says why, in the system's words.
  unlink(settings_file.c_str());
  write_settings(kDefaultSettings);
  ASSERT_EQ(chmod(settings_file.c_str(), 0), 0);
  const std::string denied = windows_build ? "Access denied." : "Permission denied";
  const auto as_nobody = unprivileged();
  expect_failure_changes_nothing("Unable to read " + path + ": " + denied, as_nobody);
  // A link is a file, whatever it leads to: one to that file, or round in a circle, says why.
  const std::string target = work_ + "/target.ini";
  ASSERT_EQ(rename(settings_file.c_str(), target.c_str()), 0);
  ASSERT_EQ(symlink("target.ini", settings_file.c_str()), 0);
  expect_failure_changes_nothing("Unable to read " + path + ": " + denied, as_nobody);
  unlink(settings_file.c_str());
  ASSERT_EQ(symlink("halmere02.ini", settings_file.c_str()), 0);
  expect_failure_changes_nothing(
      "Unable to read " + path + ": " +
      (windows_build ? "The filename cannot be resolved." : "Too many levels of symbolic links"));
  // One that opens but whose read fails, as on a failing disk: the kernel's trigger file, which
  // root may open to read (never written: the settings file is only read), where the kernel has
  // one. Windows' own lookup would take it for a file without the keys; Wine words the I/O error
  // as a device that is not ready.
  struct stat trigger;
  if (geteuid() == 0 && stat("/proc/sysrq-trigger", &trigger) == 0) {
    unlink(settings_file.c_str());
    ASSERT_EQ(symlink("/proc/sysrq-trigger", settings_file.c_str()), 0);
    expect_failure_changes_nothing("Unable to read " + path + ": " +
                                   (windows_build ? "Not ready." : "Input/output error"));
  }
  unlink(settings_file.c_str());
  ASSERT_EQ(rename(target.c_str(), settings_file.c_str()), 0);
  ASSERT_EQ(chmod(settings_file.c_str(), 0644), 0);
  if (windows_build) {
    // Another Windows program keeps it open for writing for longer than the program waits.
    pid_t holder = hold("halmere02.ini");
    expect_failure_changes_nothing("Unable to read " + path + ": another program kept it in use");
    let_go(holder);
    return;  // what follows fails Wine's own calls
  }
  // Under another program's lease: waited for while it lets go in time, in use while it does
  // not. (The directory is not compared: reading the file would wait for the lease too.)
  int lease = hold_lease(settings_file, F_WRLCK, true);
  expect_outcome(run(), 0, kSuccess);
  close(lease);
  write_image();
  lease = hold_lease(settings_file, F_WRLCK, false);
  expect_outcome(run(), 1, "Unable to read " + path + ": another program kept it in use");
  close(lease);
  EXPECT_TRUE(same_image(read_file(image_path()), image_bytes(kImageSize)));
  if (!strace_unavailable().empty()) {
    GTEST_SKIP() << strace_unavailable();
  }
  const std::pair<const char *, const char *> faults[] = {
      {"inject=openat:error=EMFILE", "Too many open files"},
      {"inject=read:error=EIO", "Input/output error"}};
  for (const auto &[fault, reason] : faults) {
    command_ = strace_command({"-o", "/dev/null", "-P", "halmere02.ini", "-e", fault});
    expect_failure_changes_nothing("Unable to read " + path + ": " + reason);
  }
}

// A settings file replaced while the program reads it, as editors and deployment tools replace
// files: by renaming a new one over it.
TEST_F(EndToEnd, TheThreeAddressesComeFromOneVersionOfTheSettings) {
  const std::string old_settings = settings("10.0.0.1", "10.0.0.2", "255.0.0.0");
  const std::string new_settings = settings("10.9.0.1", "10.9.0.2", "255.255.0.0");
  const std::string old_block("\xFF\x00\x00\x00\x0A\x00\x00\x02\x0A\x00\x00\x01", 12);
  const std::string new_block("\xFF\xFF\x00\x00\x0A\x09\x00\x02\x0A\x09\x00\x01", 12);
  const std::string settings_file = work_ + "/halmere02.ini", next = root_ + "/next.ini";

  // Replaced again and again for as long as the program runs: the Linux program reads one
  // version through one open, the Windows one finds no version that holds still.
  write_settings(old_settings);
  write_image();
  pid_t replacer = fork();
  if (replacer == 0) {
    alarm(kRunSeconds);
    for (unsigned i = 0;; ++i) {
      write_file(next, i % 2 ? old_settings : new_settings);
      rename(next.c_str(), settings_file.c_str());
    }
  }
  RunResult result = run();
  kill(replacer, SIGKILL);
  waitpid(replacer, nullptr, 0);
  // Windows refuses a file that changed under every attempt, unless an attempt found it still
  // (the replacer may not run at all while the machine is busy); either way, never a mixture.
  if (windows_build && result.status == 1) {
    expect_outcome(result, 1,
                   "Unable to read " + settings_path() + ": it kept changing while it was read");
    EXPECT_TRUE(same_image(read_file(image_path()), image_bytes(kImageSize)));
  } else {
    expect_outcome(result, 0, kSuccess);
    std::string block = read_file(image_path()).substr(kBlockOffset, 12);
    EXPECT_TRUE(block == old_block || block == new_block) << testing::PrintToString(block);
  }
  if (windows_build) {
    // A Windows program rewriting it in place, with the same size and the same last-write time,
    // is kept out while the program reads: each run reads one version.
    const std::string same_size = settings("10.9.0.1", "10.9.0.2", "255.0.0.0");
    const std::string same_size_block("\xFF\x00\x00\x00\x0A\x09\x00\x02\x0A\x09\x00\x01", 12);
    write_file(work_ + "/version-a", old_settings);
    write_file(work_ + "/version-b", same_size);
    pid_t writer = start_beside(
        windows_helper("windows_helper.exe", {"rewrite", "10000", "version-a", "version-b"}));
    for (int attempt = 0; attempt < 20; ++attempt) {
      write_image();
      expect_outcome(run(), 0, kSuccess);
      std::string block = read_file(image_path()).substr(kBlockOffset, 12);
      EXPECT_TRUE(block == old_block || block == same_size_block) << testing::PrintToString(block);
    }
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    return;  // what follows needs strace, which cannot see into Wine's reads
  }

  // Replaced once, while each read is slowed down so that the replacement falls among them.
  if (!strace_unavailable().empty()) {
    GTEST_SKIP() << strace_unavailable();
  }
  write_settings(old_settings);
  write_file(next, new_settings);
  write_image();
  command_ = strace_command({"-o", "/dev/null", "-e", "inject=read:delay_exit=300000"});
  result = run({}, "", {}, [&] {
    usleep(150000);
    rename(next.c_str(), settings_file.c_str());
  });
  expect_outcome(result, 0, kSuccess);
  std::string block = read_file(image_path()).substr(kBlockOffset, 12);
  EXPECT_TRUE(block == old_block || block == new_block) << testing::PrintToString(block);
}

TEST_F(EndToEnd, SettingsFilesOfAnySizeAreRead) {
  const std::string mebibyte(1 << 20, 'x');
  std::string huge;
  for (int host = 0; huge.size() < (64u << 20) - 200; ++host) {
    huge +=
        "[HOST" + std::to_string(host) + "]\r\nGCIP=10.0.0.1\r\n; spare\r\nNETMASK=255.0.0.0\r\n";
  }
  const std::string files[] = {
      huge + kDefaultSettings,
      ";" + mebibyte + "\n" + kDefaultSettings + "LONG=" + mebibyte + "\n",
      "[NETWORK]\nGCIP=192.168.0.50\0.7\nGATEWAY=192.168.0.1\0\nNETMASK=255.255.255.0\n"s,
  };
  for (const std::string &contents : files) {
    EXPECT_EQ(block_written(contents), kDefaultBlock);
  }
  // One of 3 GiB, past what 32-bit file offsets reach, the section at its start. (Windows' own
  // lookup reads a file whole into memory, which a 32-bit program cannot hold.)
  if (!windows_build) {
    write_settings(kDefaultSettings);
    ASSERT_EQ(truncate((work_ + "/halmere02.ini").c_str(), 3LL << 30), 0);
    write_image();
    expect_outcome(run(), 0, kSuccess);
    EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12), kDefaultBlock);
  }
}

TEST_F(EndToEnd, AnImageThatCannotBeOpenedIsNeitherCreatedNorChanged) {
  write_settings(kDefaultSettings);
  expect_failure_changes_nothing(kUnableToOpen);
  ASSERT_EQ(mkdir(image_path().c_str(), 0755), 0);
  expect_failure_changes_nothing(kUnableToOpen);
  // Only a regular file is an image: a pipe or a device is neither waited for nor written.
  rmdir(image_path().c_str());
  ASSERT_EQ(mkfifo(image_path().c_str(), 0644), 0);
  expect_failure_changes_nothing(kUnableToOpen);
  for (const char *device : {"/dev/zero", "/dev/null", "/dev/full"}) {
    unlink(image_path().c_str());
    ASSERT_EQ(symlink(device, image_path().c_str()), 0);
    expect_failure_changes_nothing(kUnableToOpen);
  }
  unlink(image_path().c_str());
  int socket = bind_socket(image_path());
  expect_failure_changes_nothing(kUnableToOpen);
  close(socket);
}

TEST_F(EndToEnd, AReadOnlyImageIsLeftAlone) {
  write_settings(kDefaultSettings);
  write_image();
  ASSERT_EQ(chmod(image_path().c_str(), 0444), 0);
  expect_failure_changes_nothing(kUnableToOpen, unprivileged());
}

TEST_F(EndToEnd, AnImageTooShortForTheBlockIsLeftExactlyAsItWas) {
  write_settings(kDefaultSettings);
  for (long size : {0L, 1L, kBlockOffset, kBlockEnd - 1}) {
    write_image(size);
    SCOPED_TRACE(size);
    expect_failure_changes_nothing(kTooShort);
  }
}

// A file size limit before the block, or inside it: the block is written whole or not at all,
// and the limit's signal ends nothing.
TEST_F(EndToEnd, AFailedWriteIsReportedNeverAsSuccess) {
  write_settings(kDefaultSettings);
  write_image();
  for (rlim_t size : {kBlockOffset - 1, kBlockOffset + 6, kBlockEnd - 1}) {
    SCOPED_TRACE(size);
    expect_failure_changes_nothing(kUnableToWrite, [size] {
      // Windows has no such signal, so its program cannot ignore it; under Wine it would end
      // the run, as nothing can on Windows.
      signal(SIGXFSZ, windows_build ? SIG_IGN : SIG_DFL);
      rlimit limit{size, size};
      setrlimit(RLIMIT_FSIZE, &limit);
    });
  }
  if (windows_build) {
    return;  // what follows needs strace
  }
  // A flush to the device that fails is a failed write, and the block is put back.
  if (!strace_unavailable().empty()) {
    GTEST_SKIP() << strace_unavailable();
  }
  command_ = strace_command({"-o", "/dev/null", "-e", "inject=fsync:error=EIO:when=1"});
  expect_failure_changes_nothing(kUnableToWrite);
  // When putting it back fails too, the line says the block may have changed, and it has.
  command_ =
      strace_command({"-o", "/dev/null", "-P", image_path(), "-e", "inject=fsync:error=EIO:when=1",
                      "-e", "inject=write:error=EIO:when=2"});
  expect_outcome(run(), 1, kNotRestored);
  EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12), kDefaultBlock);
  // So it does when the put-back's own flush fails: Linux reports a write-back error once, and
  // what is read back then comes from its cache, not from the device.
  write_image();
  command_ = strace_command({"-o", "/dev/null", "-e", "inject=fsync:error=EIO:when=1..2"});
  expect_outcome(run(), 1, kNotRestored);
  // Writes refused whole never reached the file: nothing to put back.
  command_ =
      strace_command({"-o", "/dev/null", "-P", image_path(), "-e", "inject=write:error=EIO"});
  expect_failure_changes_nothing(kUnableToWrite);
  // Once the block is on the device, a failed close loses nothing.
  write_image();
  command_ =
      strace_command({"-o", "/dev/null", "-P", image_path(), "-e", "inject=close:error=EIO"});
  expect_outcome(run(), 0, kSuccess);
  EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12), kDefaultBlock);

  // Success is said only after the block went to the device, between the write and the close.
  const std::string log_path = root_ + "/strace.log";
  command_ = strace_command({"-o", log_path, "-e", "trace=openat,flock,write,fsync,close"});
  expect_outcome(run(), 0, kSuccess);
  std::vector<std::string> calls;
  std::string log = read_file(log_path), image_fd;
  for (std::size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos;
       start = end + 1) {
    std::string call = log.substr(start, end - start);
    if (call.find("\"halmere02a.dol\"") != std::string::npos) {
      image_fd = call.substr(call.rfind("= ") + 2);
    } else if (!image_fd.empty() && call.find("(" + image_fd) != std::string::npos) {
      calls.push_back(call.substr(0, call.find('(')) + " " + call.substr(call.rfind("= ") + 2));
    }
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"flock 0", "write 12", "fsync 0", "close 0"})) << log;
}

// Another run, or on Windows any other program, that holds the image is waited for a few
// seconds: then the block is written, or the image is left as it was.
TEST_F(EndToEnd, AnImageInUseIsWaitedForThenWrittenOrLeftAlone) {
  write_settings(kDefaultSettings);
  // Let go once the run has found it held: the run writes it.
  write_image();
  pid_t holder = hold("halmere02a.dol");
  int opens = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(opens, image_path().c_str(), IN_CLOSE), 0);
  RunResult result = run({}, "", {}, [&] {
    wait_until_turned_away(opens);
    let_go(holder);
  });
  close(opens);
  expect_outcome(result, 0, kSuccess);
  EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12), kDefaultBlock);
  // Let go only after the run: the run leaves it alone.
  write_image();
  holder = hold("halmere02a.dol");
  expect_failure_changes_nothing(kInUse);
  let_go(holder);
  if (windows_build) {
    return;  // what follows needs strace
  }
  // Two runs on one image, the second through a link in another directory with other settings:
  // the first one's flush is slow and fails, so it puts back the bytes it read; the second
  // waits for it, and its block is the one the image keeps.
  if (strace_unavailable().empty()) {
    const std::string other = root_ + "/other";
    ASSERT_EQ(mkdir(other.c_str(), 0755), 0);
    ASSERT_EQ(link(image_path().c_str(), image_path(other).c_str()), 0);
    write_settings(settings("10.9.0.1", "10.9.0.2", "255.255.0.0"), other);
    command_ = strace_command(
        {"-o", "/dev/null", "-e", "inject=fsync:error=EIO:delay_enter=1500000:when=1"});
    RunResult second;
    RunResult first = run({}, "", {}, [&] {
      command_ = program_command;
      usleep(500000);
      second = run({}, other);
    });
    expect_outcome(first, 1, kUnableToWrite);
    expect_outcome(second, 0, kSuccess);
    EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12),
              std::string("\xFF\xFF\x00\x00\x0A\x09\x00\x02\x0A\x09\x00\x01", 12));
  }

  // A new image renamed into place while a run waits for the old one, which stays held, as a
  // build step puts it there: the block goes into the file the name leads to, and the old one is
  // left alone. With the name removed instead, there is no image.
  write_image();
  const std::string old_image = root_ + "/old.dol", new_image = root_ + "/new.dol";
  ASSERT_EQ(link(image_path().c_str(), old_image.c_str()), 0);
  write_file(new_image, image_bytes(kImageSize));
  int held = open(image_path().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  command_ = program_command;
  RunResult replaced = run({}, "", {}, [&] {
    wait_until_running_program_opens(old_image);
    rename(new_image.c_str(), image_path().c_str());
  });
  expect_outcome(replaced, 0, kSuccess);
  EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12), kDefaultBlock);
  EXPECT_TRUE(same_image(read_file(old_image), image_bytes(kImageSize)));
  ASSERT_EQ(link(old_image.c_str(), new_image.c_str()), 0);
  rename(new_image.c_str(), image_path().c_str());
  auto start = std::time(nullptr);
  RunResult removed = run({}, "", {}, [&] {
    wait_until_running_program_opens(old_image);
    unlink(image_path().c_str());
  });
  expect_outcome(removed, 1, kUnableToOpen);
  EXPECT_LT(std::time(nullptr) - start, 4) << "waited for a file that has no name";
  close(held);
  EXPECT_TRUE(same_image(read_file(old_image), image_bytes(kImageSize)));

  // Under another program's read lease, which the open for writing asks it to let go.
  write_image();
  int lease = hold_lease(image_path(), F_RDLCK, true);
  expect_outcome(run(), 0, kSuccess);
  EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12), kDefaultBlock);
  close(lease);
  write_image();
  lease = hold_lease(image_path(), F_RDLCK, false);
  expect_failure_changes_nothing(kInUse);
  close(lease);
  if (!strace_unavailable().empty()) {
    GTEST_SKIP() << "two runs on one image unseen: " << strace_unavailable();
  }
}

TEST_F(EndToEnd, TheSettingsPathIsTheFullOneEvenAtTheRoot) {
  struct stat status;
  if (stat("/halmere02.ini", &status) == 0) {
    GTEST_SKIP() << "this machine has a /halmere02.ini";
  }
  std::string shown = windows_build ? "Z:\\\\halmere02.ini" : "//halmere02.ini";
  expect_outcome(run({}, "/"), 1, missing("GCIP", shown));
}

// A directory whose name no ANSI code page can spell; one whose settings path is too long for
// Windows; and one whose path comes close to the longest that Linux takes.
TEST_F(EndToEnd, AnyDirectoryTheSystemCanNameIsUsed) {
  const std::string named =
      work_ + "/\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\xE6\x97\xA5\xE6\x9C\xAC";
  // Under Wine "Z:" comes first, and the settings path is 263 characters long; in the other,
  // of 245 characters, it is 259, and the image's 260.
  const std::string long_for_windows = work_ + "/" + std::string(247 - work_.size(), 'w');
  const std::string long_for_image = work_ + "/" + std::string(242 - work_.size(), 'i');
  // Windows counts its limits in characters, not in the bytes of their UTF-8.
  std::string cyrillic = work_ + "/";
  for (int i = 0; i < 125; ++i) {
    cyrillic += "\xD0\x96";
  }
  for (const std::string &directory : {named, long_for_windows, long_for_image, cyrillic}) {
    ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
    write_settings(kDefaultSettings, directory);
    write_image(kImageSize, directory);
  }
  for (const std::string &directory : {named, cyrillic}) {
    expect_outcome(run({}, directory), 0, kSuccess);
    EXPECT_EQ(read_file(image_path(directory)).substr(kBlockOffset, 12), kDefaultBlock);
  }
  // A name that would forge a line, retitle the terminal or clear it is shown escaped: in UTF-8,
  // and in an 8-bit character set, where the byte 9B outside UTF-8 is a control; well-formed UTF-8
  // and other bytes stay. Wine cannot name it, and starts the program in the Windows directory,
  // where it does nothing.
  const std::string hostile = work_ + "/nl\n"s + kSuccess +
                              "\n\x1B]0;t\a\x1B[2J\xC2\x9B\x9B"
                              "2J\xE9\xE2\x82\xAC\xE2\x9B.";
  ASSERT_EQ(mkdir(hostile.c_str(), 0755), 0);
  write_settings("[NETWORK]\n", hostile);
  write_image(kImageSize, hostile);
  RunResult refused = run({}, hostile);
  if (windows_build) {
    EXPECT_NE(refused.err.find("starting in the Windows directory"), std::string::npos);
    refused.err.clear();
  }
  expect_outcome(
      refused, 1,
      windows_build
          ? kSystemDirectory
          : missing("GCIP",
                    work_ + "/nl\\x0A" + kSuccess +
                        "\\x0A\\x1B]0;t\\x07\\x1B[2J\\xC2\\x9B\\x9B2J\xE9\xE2\x82\xAC\xE2\\x9B./"
                        "halmere02.ini"));
  EXPECT_TRUE(same_image(read_file(image_path(hostile)), image_bytes(kImageSize)));
  // A terminal in an 8-bit character set takes 9B in e with caron (C4 9B) as CSI, and 9F in
  // Cyrillic Pe (D0 9F) as APC: where the first of LC_ALL, LC_CTYPE and LANG that is set and not
  // empty names one, the first three here, such a character is escaped whole. A name that is a
  // codeset itself names that codeset.
  if (!windows_build) {
    const std::string caron = work_ + "/t\xC4\x9B\x32J\xD0\x9F";
    ASSERT_EQ(mkdir(caron.c_str(), 0755), 0);
    write_settings("[NETWORK]\n", caron);
    const char *const locales[][3] = {{"de_DE.ISO-8859-1", "", ""},
                                      {"", "", "ru_RU.KOI8-R"},
                                      {"", "de_DE@euro", "C.UTF-8"},
                                      {"C.utf8", "de_DE.ISO-8859-1", "ru_RU.KOI8-R"},
                                      {"", "POSIX", "ru_RU.KOI8-R"},
                                      {"", "UTF-8", "de_DE"},
                                      {"utf8", "", ""}};
    for (int i = 0; i < 7; ++i) {
      const char *const *locale = locales[i];
      SCOPED_TRACE(i);
      expect_outcome(
          run(
              [&] {
                setenv("LC_ALL", locale[0], 1);
                setenv("LC_CTYPE", locale[1], 1);
                setenv("LANG", locale[2], 1);
              },
              caron),
          1,
          missing("GCIP", (i < 3 ? work_ + "/t\\xC4\\x9B2J\\xD0\\x9F" : caron) + "/halmere02.ini"));
    }
  }
  write_settings("[NETWORK]\n", named);
  expect_outcome(run({}, named), 1, missing("GCIP", shown_settings_path(named)));
  // On a terminal, which Wine makes the program's console, the name shows as it is.
  std::string shell_command;
  for (const std::string &word : program_command) {
    shell_command += " '" + word + "'";
  }
  command_ = {"script", "-qec", shell_command, "/dev/null"};
  std::string shown = run({}, named).out;
  std::string expected = screen(missing("GCIP", shown_settings_path(named)));
  // Line ends differ by the terminal's settings, and Wine hides the cursor while it writes.
  for (std::string *text : {&shown, &expected}) {
    for (const char *noise : {"\r", "\x1B[?25l", "\x1B[?25h"}) {
      for (std::size_t at; (at = text->find(noise)) != std::string::npos;) {
        text->erase(at, std::strlen(noise));
      }
    }
  }
  EXPECT_EQ(shown, expected);
  command_ = program_command;

  RunResult result = run({}, long_for_image);
  if (windows_build) {
    // Windows resolves the image's relative name to a full path under the same limit: the run
    // stops before it reads anything, rather than fail to open the image after.
    expect_outcome(result, 1,
                   "Unable to open " + shown_path(long_for_image + "/halmere02a.dol") +
                       " for update: the path is longer than Windows allows");
    EXPECT_TRUE(same_image(read_file(image_path(long_for_image)), image_bytes(kImageSize)));
  } else {
    expect_outcome(result, 0, kSuccess);
  }
  result = run({}, long_for_windows);
  if (windows_build) {
    expect_outcome(result, 1,
                   "Unable to read " + shown_settings_path(long_for_windows) +
                       ": the path is longer than Windows allows");
    EXPECT_TRUE(same_image(read_file(image_path(long_for_windows)), image_bytes(kImageSize)));
    return;  // Wine starts no program in a directory of more than 259 characters
  }
  expect_outcome(result, 0, kSuccess);

  std::string deep = work_;
  while (deep.size() < 4090 - 61) {
    deep += "/" + std::string(60, 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  deep += "/" + std::string(4090 - deep.size() - 1, 'e');
  ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  int fd = open(deep.c_str(), O_RDONLY | O_DIRECTORY);
  write_file_at(fd, "halmere02.ini", kDefaultSettings);
  write_file_at(fd, "halmere02a.dol", image_bytes(kImageSize));
  expect_outcome(run({}, deep), 0, kSuccess);
  EXPECT_EQ(read_file_at(fd, "halmere02a.dol").substr(kBlockOffset, 12), kDefaultBlock);
  write_file_at(fd, "halmere02.ini", "[NETWORK]\n");
  expect_outcome(run({}, deep), 1, missing("GCIP", shown_settings_path(deep)));
  close(fd);
}

// A double-click in Explorer gives the program a console window of its own, which would close
// before the outcome could be read; so there it waits for Enter. The window is met as a user
// meets it, on the X display the Windows tests run on: found by its title, its text read from
// the console, Enter typed into it. From a command prompt, a script, a terminal (see above),
// another parent, or with its output sent elsewhere, nothing waits.
TEST_F(EndToEnd, StartedFromExplorerTheWindowWaitsForEnter) {
  if (!windows_build) {
    GTEST_SKIP() << "only Windows starts programs from Explorer";
  }
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the window needs an X display";
  write_settings(kDefaultSettings);
  write_image();
  const std::string program = shown_path(program_command.back());
  const std::string prompt = "Press Enter to close this window.\r\n";
  const std::vector<std::string> find_window = {"xdotool", "search", "--onlyvisible", "--name",
                                                "halmere-netcfg"};
  // The launcher prints the program's process id, then waits for it.
  command_ = windows_helper("explorer.exe", {"show", program});
  run_seconds_ = 2 * kWindowSeconds;
  std::string process;
  RunResult launched = run({}, "", {}, [&] {
    const auto launcher = running_;
    run_seconds_ = kRunSeconds;
    auto waiting = [&] {
      siginfo_t ended{};
      waitid(P_PID, launcher.child, &ended, WEXITED | WNOHANG | WNOWAIT);
      return ended.si_pid == 0;
    };
    std::string window, shown;
    // The screen is read by attaching to the console, which would then have two processes: so
    // not before the block is written, when the program has long decided whether to wait.
    bool prompted = eventually(kWindowSeconds, [&] {
      process = std::to_string(std::atol(read_file(launcher.out_path).c_str()));
      bool written = read_file(image_path()).substr(kBlockOffset, 12) == kDefaultBlock;
      window = written ? run_beside(find_window).out : "";
      window = window.substr(0, window.find('\n'));
      shown = window.empty()
                  ? ""
                  : run_beside(windows_helper("windows_helper.exe", {"screen", process})).out;
      return shown.find(prompt) != std::string::npos || !waiting();
    });
    if (!prompted || !waiting()) {
      ADD_FAILURE() << "no window waited with the prompt; window \"" << window << "\" showed:\n"
                    << shown;
      kill(launcher.child, SIGKILL);
      return;
    }
    sleep(3);
    EXPECT_TRUE(waiting()) << "the program did not wait for Enter";
    EXPECT_EQ(run_beside({"xdotool", "getwindowname", window}).out, program + "\n");
    EXPECT_EQ(run_beside(windows_helper("windows_helper.exe", {"screen", process})).out,
              screen(kSuccess) + prompt);
    char directory[4096] = ".";
    (void)!getcwd(directory, sizeof directory);
    std::string picture = directory + "/explorer-window.png"s;
    EXPECT_EQ(run_beside({"import", "-window", "root", picture}).status, 0);
    std::printf("The window as the test saw it: %s\n", picture.c_str());
    // The key closes the window before its release can be sent, which xdotool reports as an error.
    run_beside({"xdotool", "key", "--window", window, "Return"});
  });
  ASSERT_EQ(launched.out, process + "\r\n");
  EXPECT_EQ(launched.status, 0);
  EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12), kDefaultBlock);
  EXPECT_TRUE(eventually(kWindowSeconds, [&] { return run_beside(find_window).out.empty(); }))
      << "the window stayed open";

  // Its output sent to the launcher's: it goes on to the end, and adds no prompt to the output.
  write_image();
  command_ = windows_helper("explorer.exe", {"start", program});
  expect_outcome(run(), 0, kSuccess);
  EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12), kDefaultBlock);
  // In a window of its own, from another parent.
  write_image();
  command_ = windows_helper("windows_helper.exe", {"show", program});
  RunResult other_parent = run();
  EXPECT_EQ(other_parent.status, 0);
  EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12), kDefaultBlock);
  write_image();
  command_ = {program_command.front(), "cmd", "/c", program};
  expect_outcome(run(), 0, kSuccess);
  EXPECT_EQ(read_file(image_path()).substr(kBlockOffset, 12), kDefaultBlock);
}

TEST_F(EndToEnd, NoCurrentDirectoryMeansNoGuess) {
  // Removed under the run: it gets the directory only after it is gone.
  std::string gone = work_ + "/gone";
  ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
  write_settings(kDefaultSettings, gone);
  if (windows_build) {
    // Windows cannot remove a process's current directory; Wine, which cannot name it, starts
    // the program in its Windows directory, or says the directory is "unix".
    RunResult result = run([&] { remove_tree(AT_FDCWD, gone.c_str()); }, gone);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out == screen(kSystemDirectory) || result.out == screen(kNoDirectory))
        << result.out;
    return;  // nor can Wine start a program in a directory deeper than it can name
  }
  auto before = snapshot(work_);
  expect_outcome(run([&] { remove_tree(AT_FDCWD, gone.c_str()); }, gone), 1, kNoDirectory);
  before.erase("gone");
  EXPECT_EQ(snapshot(work_), before);

  // Deeper than any path the system can name, with a settings file and an image there.
  int fd = open(work_.c_str(), O_RDONLY | O_DIRECTORY);
  const std::string name(200, 'd');
  for (int level = 0; level < 21; ++level) {  // 21 times 201 characters: past PATH_MAX
    ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
    int deeper = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = deeper;
  }
  write_file_at(fd, "halmere02.ini", kDefaultSettings);
  write_file_at(fd, "halmere02a.dol", image_bytes(kImageSize));
  expect_outcome(run([&] { (void)!fchdir(fd); }), 1, kNoDirectory);
  EXPECT_TRUE(same_image(read_file_at(fd, "halmere02a.dol"), image_bytes(kImageSize)));
  close(fd);
}

}  // namespace

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    windows_build = windows_build || std::strcmp(argv[i], "--windows") == 0;
  }
  program_command.assign(argv + std::min(i + 1, argc), argv + argc);
  // The Linux program shows texts by the locale's character set; the cases expect UTF-8's.
  if (!windows_build) {
    setenv("LC_ALL", "C.UTF-8", 1);
  }
  // The display of the X server that the Windows tests' fixture started.
  if (const char *display_file = std::getenv("NETCFG_E2E_DISPLAY_FILE")) {
    std::string number = read_file(display_file);
    setenv("DISPLAY", (":" + number.substr(0, number.find('\n'))).c_str(), 1);
  }
  if (program_command.empty() && !GTEST_FLAG_GET(list_tests)) {
    std::fprintf(stderr, "usage: %s [--windows] -- PROGRAM...\n", argv[0]);
    return 2;
  }
  return RUN_ALL_TESTS();
}
