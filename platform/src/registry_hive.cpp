// Hive files: where they live, and locked, crash-safe reading and writing.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/registry.h"

namespace platform {
namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

bool IsWritableDir(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(path.c_str(), W_OK) == 0;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void MakeFolders(const std::string& path) {
  if (path.empty() || path == "/" || path == ".") return;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return;
  MakeFolders(ParentOf(path));
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
    throw ERegistryException("Cannot create the registry folder '" + path + "': " + ErrnoText(errno));
  }
}

// Closes a descriptor (and so drops its flock) on scope exit.
class FdGuard {
 public:
  explicit FdGuard(int fd = -1) : fd_(fd) {}
  ~FdGuard() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

void LockFd(int fd, int op) {
  while (::flock(fd, op) != 0) {
    if (errno != EINTR) throw ERegistryException("Cannot lock the registry: " + ErrnoText(errno));
  }
}

// The whole file, or nothing when it does not exist.
bool ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return false;
    throw ERegistryException("Cannot read '" + path + "': " + ErrnoText(errno));
  }
  FdGuard guard(fd);
  char buf[65536];
  while (true) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ERegistryException("Cannot read '" + path + "': " + ErrnoText(errno));
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return true;
}

RegKey ParseHive(const std::string& text, HKEY root, const std::string& path) {
  RegKey tree;
  const RegText parsed = ParseRegText(text, path);
  for (const RegTextSection& section : parsed.sections) {
    if (section.root != root) {
      throw ERegistryParseError(path, section.line,
                                std::string("key of ") + RootKeyName(section.root) + " in the " +
                                    RootKeyName(root) + " hive");
    }
  }
  ApplyRegText(parsed, root, tree);
  return tree;
}

void WriteAll(int fd, const std::string& data, const std::string& path) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ERegistryException("Cannot write '" + path + "': " + ErrnoText(errno));
    }
    done += static_cast<size_t>(n);
  }
}

// Write a temporary file beside the target, flush it, rename it over the target and flush the
// folder: a crash at any point leaves either the old or the new file, never a mix.
void ReplaceFileAtomically(const std::string& path, const std::string& data) {
  const std::string folder = ParentOf(path);
  std::string temp = folder + "/." + path.substr(folder.size() + 1) + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) throw ERegistryException("Cannot write '" + path + "': " + ErrnoText(errno));
  try {
    FdGuard guard(fd);
    struct stat st {};
    mode_t mode = 0644;
    if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    ::fchmod(fd, mode);
    WriteAll(fd, data, path);
    if (::fsync(fd) != 0) throw ERegistryException("Cannot write '" + path + "': " + ErrnoText(errno));
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    throw ERegistryException("Cannot replace '" + path + "': " + ErrnoText(err));
  }
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

}  // namespace

std::string RegistryFolder() {
  if (const char* dir = std::getenv("TESSARO_REGISTRY_DIR"); dir && *dir) return dir;
  static const char* kSystemFolder = "/var/lib/tessaro/registry";
  if (IsWritableDir(kSystemFolder)) return kSystemFolder;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    return std::string(xdg) + "/tessaro/registry";
  }
  return HomeFolder() + "/.config/tessaro/registry";
}

std::string HivePath(HKEY root) { return RegistryFolder() + "/" + RootKeyShortName(root) + ".reg"; }

HiveFile::HiveFile(HKEY root) : root_(root), path_(HivePath(root)) {}

RegKey HiveFile::Load() const {
  // Writers replace the file by rename, so a reader always sees a whole file; the shared lock
  // still keeps it from reading in the middle of somebody's read-modify-write.
  const std::string lockPath = path_ + ".lock";
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  FdGuard guard(fd);
  if (fd >= 0) LockFd(fd, LOCK_SH);
  std::string text;
  if (!ReadWholeFile(path_, text)) return RegKey();
  return ParseHive(text, root_, path_);
}

void HiveFile::Update(const std::function<bool(RegKey& tree)>& change) {
  const std::string folder = ParentOf(path_);
  MakeFolders(folder);
  const std::string lockPath = path_ + ".lock";
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throw ERegistryException("Cannot lock '" + lockPath + "': " + ErrnoText(errno));
  FdGuard guard(fd);
  LockFd(fd, LOCK_EX);
  // Re-read under the lock: another process may have written since our last look.
  std::string text;
  RegKey tree;
  if (ReadWholeFile(path_, text)) tree = ParseHive(text, root_, path_);
  if (!change(tree)) return;
  ReplaceFileAtomically(path_, FormatHive(tree, root_));
}

bool HiveFile::Writable() const {
  std::string folder = ParentOf(path_);
  struct stat st {};
  while (::stat(folder.c_str(), &st) != 0) {
    if (errno != ENOENT || folder == "/" || folder == ".") return false;
    folder = ParentOf(folder);
  }
  if (::access(folder.c_str(), W_OK) != 0) return false;
  return ::access(path_.c_str(), F_OK) != 0 || ::access(path_.c_str(), W_OK) == 0;
}

}  // namespace platform
