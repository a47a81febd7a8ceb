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

// All of what a descriptor that is not a regular file (a pipe, a terminal)
// holds, read into anonymous memory reserved up front and filled in order, in
// huge pages where the kernel gives them: each first touch of a page is a
// fault, and one fault for 2 MiB costs far less than 512 for 4 KiB each.
class WholeInput {
 public:
  WholeInput() = default;
  WholeInput(const WholeInput&) = delete;
  WholeInput& operator=(const WholeInput&) = delete;
  ~WholeInput() {
    if (base_ != nullptr) munmap(base_, length_);
  }

  // False, with errno set, when the descriptor cannot be read.
  bool ReadAll(int fd) {
    // As much as the system lets a mapping hold without counting it against
    // memory, and far more than any input: the pages only come when used.
    bool reserved = false;
    for (std::size_t length = std::size_t{64} << 30; !reserved && length >= kHugePage; length /= 4)
      reserved = Reserve(length);
    if (!reserved) return false;
    EnlargePipe(fd);
    for (;;) {
      if (size_ == capacity_ && !Enlarge()) return false;
      const ssize_t got = read(fd, buffer_ + size_, std::min(capacity_ - size_, kMaxRead));
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      size_ += static_cast<std::size_t>(got);
    }
    return true;
  }

  std::string_view view() const { return {buffer_, size_}; }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  static constexpr std::size_t kMaxRead = std::size_t{1} << 30;

  // Address space only: no page is given until it is written.
  bool Reserve(std::size_t length) {
    void* const base = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) return false;
    base_ = base;
    length_ = length + kHugePage;
    // Start on a huge page's edge, so that every huge page can be one.
    const auto address = reinterpret_cast<std::uintptr_t>(base);
    buffer_ = static_cast<char*>(base) + (kHugePage - address % kHugePage) % kHugePage;
    capacity_ = length;
    madvise(base, length_, MADV_HUGEPAGE);
    return true;
  }

  // Moves the pages to a larger range when the reserved one is full.
  bool Enlarge() {
    const std::size_t offset = static_cast<std::size_t>(buffer_ - static_cast<char*>(base_));
    const std::size_t length = 2 * length_;
    void* const base = mremap(base_, length_, length, MREMAP_MAYMOVE);
    if (base == MAP_FAILED) return false;
    base_ = base;
    buffer_ = static_cast<char*>(base) + offset;
    capacity_ += length - length_;
    length_ = length;
    madvise(base, length_, MADV_HUGEPAGE);
    return true;
  }

  void* base_ = nullptr;  // the mapping, to unmap
  std::size_t length_ = 0;
  char* buffer_ = nullptr;  // where read input goes
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
};

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

  std::string_view ReadAll() override {
    if (!whole_.ReadAll(fd_)) throw ReadFailure{ErrnoText(errno)};
    return whole_.view();
  }

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
  WholeInput whole_;
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
