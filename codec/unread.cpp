// What the lenient reading passed over: groups with characters after their
// digits that it did not read, and groups in which it read no digit. Runs on
// every decode, so it looks at 32 characters a step where it can, from bit
// masks of what they are: a step of digits and single spaces only holds
// nothing to report, and only its first and last groups, which run on beyond
// it, need a closer look; any other step is looked at a group at a time.
#include <bit>

#include "codec/codec.hpp"
#include "codec/internal/hex_reading.hpp"
#include "codec/internal/simd.hpp"

namespace 字符串加密 {
namespace {

using namespace hex_reading;

// The groups looked at so far, and the one being looked at.
class Look {
 public:
  explicit Look(std::size_t start) : start_(start) {}

  template <class Char>
  void Characters(const Char* text, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      const std::uint8_t c = ClassOf(text[i]);
      if (c == kSpace) {
        EndGroup(i);
        StartGroup(i + 1);
      } else if (stopped_) {
        // The reading stopped before: the rest of the group is unread.
      } else if (c < 16) {
        digit_ = true;
      } else if (c == kJunk) {
        stopped_ = true;
        unread_ = i;
      }
    }
  }

#ifdef VANTOREL_AVX2
  // Looks at 32 characters a step from `at` while there are 32, and returns
  // where it stopped.
  template <class Char>
  VANTOREL_TARGET_AVX2 std::size_t Steps(const Char* text, std::size_t at, std::size_t end) {
    for (; end - at >= 32; at += 32) {
      const __m256i c = Load32(text + at);
      __m256i values;
      const Classes32 m = Classes(c, HexDigits(c, values));
      if (!Plain(m, at)) Groups(m, at);
    }
    return at;
  }

  // 32 characters from `at` when they are digits and single spaces only;
  // false, looking at nothing, when they are anything else.
  bool Plain(const Classes32& m, std::size_t at) {
    if ((m.space | m.digit) != 0xFFFFFFFFu || (m.space & m.space >> 1) != 0) return false;
    if (m.space == 0) {
      digit_ = digit_ || !stopped_;
      return true;
    }
    const int first = std::countr_zero(m.space);
    const int last = 31 - std::countl_zero(m.space);
    if (first > 0 && !stopped_) digit_ = true;
    EndGroup(at + static_cast<std::size_t>(first));
    // The groups between the spaces hold digits and nothing else.
    group_ += static_cast<std::size_t>(std::popcount(m.space)) - 1;
    StartGroup(at + static_cast<std::size_t>(last) + 1);
    digit_ = last < 31;
    return true;
  }

  // Any 32 characters from `at`, a group at a time from the masks: the
  // digits before a group's first other character are read, the rest not.
  void Groups(const Classes32& m, std::size_t at) {
    const std::uint32_t junk = ~(m.space | m.digit | m.dropped);
    std::uint32_t spaces = m.space;
    for (int start = 0; start < 32;) {
      const int end = spaces != 0 ? std::countr_zero(spaces) : 32;
      const auto in_group = static_cast<std::uint32_t>(((std::uint64_t{1} << end) - 1) &
                                                       ~((std::uint64_t{1} << start) - 1));
      if (!stopped_) {
        const std::uint32_t stop = junk & in_group;
        const std::uint32_t before = stop != 0 ? (stop & (~stop + 1)) - 1 : ~std::uint32_t{0};
        digit_ = digit_ || (m.digit & in_group & before) != 0;
        if (stop != 0) {
          stopped_ = true;
          unread_ = at + static_cast<std::size_t>(std::countr_zero(stop));
        }
      }
      if (end == 32) break;
      EndGroup(at + static_cast<std::size_t>(end));
      StartGroup(at + static_cast<std::size_t>(end) + 1);
      spaces &= spaces - 1;
      start = end + 1;
    }
  }
#endif

  void EndGroup(std::size_t end) {
    if (!digit_) {
      Note(found_.without_digit, found_.first_without_digit, end, start_);
    } else if (stopped_) {
      Note(found_.partly_read, found_.first_partly_read, end, unread_);
    }
  }

  const UnreadGroups& found() const { return found_; }

 private:
  void StartGroup(std::size_t start) {
    ++group_;
    start_ = start;
    digit_ = stopped_ = false;
  }

  void Note(std::size_t& count, UnreadGroup& first, std::size_t end, std::size_t unread) {
    if (count++ == 0) first = UnreadGroup{group_, start_, end - start_, unread};
  }

  UnreadGroups found_;
  std::size_t group_ = 1;
  std::size_t start_;
  std::size_t unread_ = 0;
  bool digit_ = false;    // a digit was read
  bool stopped_ = false;  // the reading stopped at a character it does not read
};

template <class Char>
UnreadGroups FindIn(std::basic_string_view<Char> hex) {
  const auto [begin, end] = hex_reading::WithoutOuterSpaces(hex);
  if (begin == end) return {};
  Look look(begin);
  std::size_t i = begin;
#ifdef VANTOREL_AVX2
  if (simd::HasAvx2()) i = look.Steps(hex.data(), i, end);
#endif
  look.Characters(hex.data(), i, end);
  look.EndGroup(end);
  return look.found();
}

}  // namespace

UnreadGroups FindUnreadGroups(std::u16string_view hex) { return FindIn(hex); }
UnreadGroups FindUnreadGroups(std::string_view hex) { return FindIn(hex); }

}  // namespace 字符串加密
