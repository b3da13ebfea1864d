#include "platform/file_store.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <mutex>
#include <random>
#include <unordered_map>
#include <vector>

#include "platform/code_page.h"

namespace korvane::platform {
namespace {

constexpr int kMaxAttempts = 10000;

// The next number worth trying per target path, remembered for the process: many pictures of
// one second (or of one icon name) would otherwise probe 1, 2, 3, ... taken names each time, so
// saving the n-th cost n failed calls. The file system still decides: a taken number is skipped
// as before, and a forgotten or wrong hint only costs attempts.
class NextNumbers {
 public:
  int Hint(const std::string& target) {
    const std::lock_guard lock(mutex_);
    const auto found = next_.find(target);
    return found == next_.end() ? 1 : found->second;
  }
  void Used(const std::string& target, int n) {
    const std::lock_guard lock(mutex_);
    if (next_.size() >= kMaxRemembered && !next_.contains(target))
      next_.clear();  // bounded: a long-lived process forgets and probes again
    next_[target] = n + 1;
  }

 private:
  static constexpr size_t kMaxRemembered = 4096;
  std::mutex mutex_;
  std::unordered_map<std::string, int> next_;
};

NextNumbers& Numbers() {
  static NextNumbers* const numbers = new NextNumbers;  // used until the very end of the process
  return *numbers;
}

// The numbers to try for `target`, in order: the name itself first (a folder emptied since keeps
// its plain names), then the remembered next number while the one before it is still there, so
// the names stay dense; otherwise 2, 3, ... as without a memory.
std::vector<int> FirstNumbers(const std::string& target) {
  const int hint = Numbers().Hint(target);
  if (hint > 2 && ::access(NumberedName(target, hint - 1).c_str(), F_OK) == 0)
    return {1, hint};
  return {1, 2};
}

// Walks the candidates: the first numbers, then on from the last of them.
class Candidates {
 public:
  explicit Candidates(const std::string& target) : first_(FirstNumbers(target)) {}
  bool Next(int& n) {
    if (tried_ >= kMaxAttempts)
      return false;
    n = tried_ < static_cast<int>(first_.size())
            ? first_[tried_]
            : first_.back() + (tried_ - static_cast<int>(first_.size()) + 1);
    ++tried_;
    return true;
  }

 private:
  std::vector<int> first_;
  int tried_ = 0;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Moves `from` to `to` unless `to` exists. Returns 0, or the errno of the failure (EEXIST when
// the name is taken).
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS)
    return errno;
  // A file system without the no-replace rename: a hard link fails on a taken name as well.
  if (::link(from.c_str(), to.c_str()) != 0)
    return errno;
  ::unlink(from.c_str());
  return 0;
}

// Creates a new, empty temporary file in `folder` with the permissions of any new file (the
// process's umask applies, unlike mkstemp's owner-only mode). Returns its descriptor or -1.
int CreateTemporary(const std::string& folder, std::string& name) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix;
    for (int i = 0; i < 8; ++i)
      suffix.push_back(kLetters[pick(random)]);
    name = folder + ".korvane-" + suffix + ".part";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  return -1;
}

// The errors with which open(O_TMPFILE) says that the kernel or the file system lacks it (an old
// kernel that ignores the flag sees a directory opened for writing).
bool UnnamedUnsupported(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOSYS;
}

// Gives the unnamed file behind `fd` the name `to`; fails with EEXIST when the name is taken.
// Returns 0 or the errno. ENOTSUP means the file cannot be named at all here (no /proc, and no
// privilege to link a descriptor directly).
int LinkUnnamed(int fd, const std::string& to) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0)
    return 0;
  const int error = errno;
  if (error != ENOENT || ::access(self.c_str(), F_OK) == 0)
    return error;
  // No /proc: a descriptor can still be linked directly with the privilege to do so.
  if (::linkat(fd, "", AT_FDCWD, to.c_str(), AT_EMPTY_PATH) == 0)
    return 0;
  return errno == EPERM || errno == ENOENT ? ENOTSUP : errno;
}

struct Saver {
  std::string target;  // UTF-8
  std::string folder;  // UTF-8, ends with '/'
  std::string_view bytes;
  std::stop_token stop;
  SaveFailure* failure;
  const SaveSeams& seams;

  std::nullopt_t Fail(std::string_view step, int error) const {
    if (failure)
      *failure = SaveFailure{step, error};
    return std::nullopt;
  }

  // Through a file that has no name until it is complete. Sets `unsupported` (and returns
  // nullopt) when this file system cannot do that; nothing has been written then.
  std::optional<std::string> Unnamed(bool& unsupported) const {
    unsupported = false;
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
      unsupported = UnnamedUnsupported(errno);
      return Fail("create a temporary file", errno);
    }
    const auto closeWith = [fd](std::nullopt_t result) {
      ::close(fd);
      return result;
    };
    if (!WriteAll(fd, bytes))
      return closeWith(Fail("write", errno));
    if (stop.stop_requested())
      return closeWith(Fail("stopped", 0));
    if (seams.beforeNaming)
      seams.beforeNaming();
    Candidates candidates(target);
    for (int n = 0; candidates.Next(n);) {
      const std::string candidate = NumberedName(target, n);
      const int error = LinkUnnamed(fd, candidate);
      if (error == EEXIST)
        continue;
      if (error == ENOTSUP && n == 1) {
        unsupported = true;
        return closeWith(Fail("name the file", error));
      }
      if (error != 0)
        return closeWith(Fail("name the file", error));
      // The data is in place under its name; a late write error reported by close takes it away
      // again rather than leave a file that may be short.
      if (::close(fd) != 0) {
        const int closeError = errno;
        ::unlink(candidate.c_str());
        return Fail("write", closeError);
      }
      Numbers().Used(target, n);
      return Utf8ToGbk(candidate);
    }
    return closeWith(Fail("find a free name", 0));
  }

  // Through a named temporary file that is renamed into place.
  std::optional<std::string> Named() const {
    std::string temporary;
    const int fd = CreateTemporary(folder, temporary);
    if (fd < 0)
      return Fail("create a temporary file", errno);
    const bool written = WriteAll(fd, bytes);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    const int closeError = errno;
    if (!written || !closed || stop.stop_requested()) {
      ::unlink(temporary.c_str());
      if (!written)
        return Fail("write", writeError);
      return closed ? Fail("stopped", 0) : Fail("write", closeError);
    }
    if (seams.beforeNaming)
      seams.beforeNaming();
    Candidates candidates(target);
    for (int n = 0; candidates.Next(n);) {
      const std::string candidate = NumberedName(target, n);
      const int error = RenameNoReplace(temporary, candidate);
      if (error == 0) {
        Numbers().Used(target, n);
        return Utf8ToGbk(candidate);
      }
      if (error != EEXIST) {
        ::unlink(temporary.c_str());
        return Fail("name the file", error);
      }
    }
    ::unlink(temporary.c_str());
    return Fail("find a free name", 0);
  }
};

}  // namespace

std::string DescribeSaveFailure(const SaveFailure& failure) {
  std::string text(failure.step.empty() ? std::string_view("save") : failure.step);
  if (failure.error != 0) {
    text += ": ";
    // The C library's English words whatever the locale: the report is the program's text.
    const char* description = ::strerrordesc_np(failure.error);
    text += description ? description : "error " + std::to_string(failure.error);
  }
  return text;
}

std::string NumberedName(std::string_view path, int n) {
  if (n <= 1)
    return std::string(path);
  const size_t slash = path.find_last_of('/');
  const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot <= nameStart)
    dot = path.size();
  return std::string(path.substr(0, dot)) + "_" + std::to_string(n) + std::string(path.substr(dot));
}

std::optional<std::string> SaveNewFile(std::string_view path, std::string_view bytes,
                                       std::stop_token stop, SaveFailure* failure,
                                       const SaveSeams& seams) {
  const std::string target = GbkToUtf8(path);
  if (target.empty() || target.back() == '/') {
    if (failure)
      *failure = SaveFailure{"name the file", EISDIR};
    return std::nullopt;
  }
  const size_t slash = target.find_last_of('/');
  const Saver saver{
      target,  slash == std::string::npos ? std::string("./") : target.substr(0, slash + 1),
      bytes,   std::move(stop),
      failure, seams};
  if (seams.unnamedTemporary) {
    bool unsupported = false;
    std::optional<std::string> saved = saver.Unnamed(unsupported);
    if (saved || !unsupported)
      return saved;
  }
  return saver.Named();
}

}  // namespace korvane::platform
