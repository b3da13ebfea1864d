#include "platform/file_store.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

#include <random>

#include "platform/code_page.h"

namespace korvane::platform {
namespace {

constexpr int kMaxAttempts = 10000;

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

}  // namespace

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
                                       std::stop_token stop) {
  const std::string target = GbkToUtf8(path);
  if (target.empty() || target.back() == '/')
    return std::nullopt;
  const size_t slash = target.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);

  std::string temporary;
  const int fd = CreateTemporary(folder, temporary);
  if (fd < 0)
    return std::nullopt;
  const bool written = WriteAll(fd, bytes);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || stop.stop_requested()) {
    ::unlink(temporary.c_str());
    return std::nullopt;
  }
  for (int n = 1; n <= kMaxAttempts; ++n) {
    const std::string candidate = NumberedName(target, n);
    const int error = RenameNoReplace(temporary, candidate);
    if (error == 0)
      return Utf8ToGbk(candidate);
    if (error != EEXIST)
      break;
  }
  ::unlink(temporary.c_str());
  return std::nullopt;
}

}  // namespace korvane::platform
