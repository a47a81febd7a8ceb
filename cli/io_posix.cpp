// The standard streams on POSIX systems: file descriptors, text in UTF-8.
#include "cli/io_posix.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "cli/io.hpp"

namespace vantorel {
namespace io {

const std::string_view kCommandName = "vantorel";
const bool kReadsByteOrderMarks = false;
const std::string_view kDefaultCodePageHelp = "";
const std::string_view kTextHelp = "                            UTF-8, as TEXT is\n";

namespace {

std::string ErrnoText(int error) { return std::strerror(error); }

// A pipe's writer puts in as much as the pipe holds before it waits for a
// read: a larger pipe (1 MiB, what an unprivileged process may ask for; where
// the system refuses, it stays as it is) takes the two fewer turns.
void EnlargePipe(int fd) {
#ifdef F_SETPIPE_SZ
  constexpr int kPipeBytes = 1 << 20;
  if (fcntl(fd, F_GETPIPE_SZ) > 0) fcntl(fd, F_SETPIPE_SZ, kPipeBytes);
#else
  (void)fd;
#endif
}

// A regular file is read with pread(2) from where its offset stood, and
// known unchanged by its size and modification time.
class DescriptorInput final : public Input {
 public:
  explicit DescriptorInput(int fd) : fd_(fd) {}

  std::optional<std::uint64_t> FileLength() override {
    if (fstat(fd_, &read_) != 0 || !S_ISREG(read_.st_mode) || read_.st_size <= 0) return {};
    start_ = std::clamp<off_t>(lseek(fd_, 0, SEEK_CUR), 0, read_.st_size);
    return static_cast<std::uint64_t>(read_.st_size - start_);
  }

  std::size_t ReadAt(std::uint64_t offset, char* to, std::size_t n) override {
    std::size_t filled = 0;
    while (filled < n) {
      const ssize_t got =
          pread(fd_, to + filled, n - filled, start_ + static_cast<off_t>(offset + filled));
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        throw ReadFailure{ErrnoText(errno)};
      }
      filled += static_cast<std::size_t>(got);
    }
    return filled;
  }

  bool Unchanged() override {
    struct stat now {};
    if (fstat(fd_, &now) != 0) throw ReadFailure{ErrnoText(errno)};
    return now.st_size == read_.st_size && now.st_mtim.tv_sec == read_.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == read_.st_mtim.tv_nsec;
  }

  std::optional<std::u16string> ReadConsoleText() override { return std::nullopt; }

  std::size_t Read(char* to, std::size_t n) override {
    if (!enlarged_) EnlargePipe(fd_);
    enlarged_ = true;
    for (;;) {
      const ssize_t got = read(fd_, to, n);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) throw ReadFailure{ErrnoText(errno)};
    }
  }

 private:
  int fd_;
  struct stat read_ {};
  off_t start_ = 0;
  bool enlarged_ = false;
};

class DescriptorOutput final : public Output {
 public:
  explicit DescriptorOutput(int fd) : fd_(fd) {}

  void Write(std::string_view bytes, bool) override {
    for (std::size_t at = 0; at < bytes.size();) {
      const ssize_t wrote = write(fd_, bytes.data() + at, bytes.size() - at);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) throw WriteFailure{": " + ErrnoText(wrote < 0 ? errno : EIO)};
      at += static_cast<std::size_t>(wrote);
    }
  }

 private:
  int fd_;
};

}  // namespace

void PreferHugePages(void* data, std::size_t size) {
  // The whole huge pages inside the buffer.
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + size) & ~(kHugePage - 1);
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace io

int RunCli(std::span<const std::string_view> args, int in, int out, std::ostream& err,
           const std::function<void()>& between_passes) {
  io::DescriptorInput input(in);
  io::DescriptorOutput output(out);
  return RunCli(args, input, output, err, between_passes);
}

}  // namespace vantorel
