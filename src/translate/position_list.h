#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <vector>

namespace xml2slist {

// The positions the repeats of one name took in an element's list, by
// repeat. Children of one name mostly follow one another, or come back at
// the same distance each time (a list of fields that repeats), so the
// positions are kept as runs of consecutive ones, or as one step from
// each to the next, in memory that does not grow with the children; once
// neither holds and the runs average fewer than two positions, as a plain
// list of their distances from the first, in 4 bytes each while they fit.
// (A repeat whose member name was taken has the earlier member's position,
// which may come before the first.)
// An element may have a hundred thousand names, most met a few times: the
// first run, or the first position and two more, take no memory beyond
// the list's own 40 bytes; what else is kept lies apart, made when needed.
class PositionList {
 public:
  void clear() {
    spill_.clear();
    count_ = 0;
    form_ = Form::runs;
  }
  std::size_t size() const { return count_; }

  void push_back(std::int64_t position) {
    if (count_ == 0) {
      first_ = position;
    } else if (count_ == 1 && position != first_ + 1 && position != first_ && is_near(position - first_)) {
      form_ = Form::steps;
      few_[0] = static_cast<std::int32_t>(position - first_);
    } else if (form_ == Form::steps) {
      if (position != first_ + static_cast<std::int64_t>(count_) * few_[0]) {
        to_plain();
        push_plain(position);
      }
    } else if (form_ == Form::runs) {
      // The first run goes on without a look at the others: there are none.
      const bool only_first_run = spill_.size() == 0;
      if (only_first_run ? position != first_ + static_cast<std::int64_t>(count_) : !continues_last_run(position)) {
        add_run(position);
      }
    } else {
      push_plain(position);
    }
    ++count_;
  }

  // The position of the `i`th repeat kept, `i` < size().
  std::int64_t operator[](std::size_t i) const {
    if (i == 0) return first_;
    if (form_ == Form::steps) return first_ + static_cast<std::int64_t>(i) * few_[0];
    if (form_ == Form::few) return first_ + few_[i - 1];
    if (form_ == Form::near) return first_ + spill_.at<std::int32_t>(i - 1);
    if (form_ == Form::far) return spill_.at<std::int64_t>(i - 1);
    // The last run that starts at or before `i`; the runs after the first
    // are kept as their first index and position.
    const auto run_index = [this](std::size_t run) { return static_cast<std::size_t>(spill_.at<std::int64_t>(2 * run)); };
    std::size_t low = 0;
    std::size_t high = spill_.size() / 2;
    while (low < high) {
      const std::size_t middle = (low + high) / 2;
      if (run_index(middle) <= i) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    if (low == 0) return first_ + static_cast<std::int64_t>(i);
    return spill_.at<std::int64_t>(2 * low - 1) + static_cast<std::int64_t>(i - run_index(low - 1));
  }

 private:
  // Runs; one step from each position to the next, in few_[0]; up to two
  // distances from the first position in few_; distances from the first
  // position in 4 bytes; whole positions, once a distance does not fit (a
  // list of over 2 billion items).
  enum class Form : std::uint8_t { runs, steps, few, near, far };
  static constexpr std::size_t few_size = 2;

  // What a list keeps beyond its first run or its few positions: numbers
  // of one size (the form tells which) in one allocation with its size and
  // room ahead of them, made when first needed and grown by doubling.
  class Spill {
   public:
    Spill() = default;
    Spill(Spill&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    Spill& operator=(Spill&& other) noexcept {
      std::swap(block_, other.block_);
      return *this;
    }
    ~Spill() { std::free(block_); }
    std::size_t size() const { return block_ != nullptr ? block_->size : 0; }
    void clear() {
      if (block_ != nullptr) block_->size = 0;
    }
    template <typename Number>
    Number at(std::size_t i) const {
      Number number;
      std::memcpy(&number, numbers() + i * sizeof(Number), sizeof number);
      return number;
    }
    template <typename Number>
    Number back() const {
      return at<Number>(size() - 1);
    }
    template <typename Number>
    void push_back(Number number) {
      if (block_ == nullptr || (block_->size + 1) * sizeof(Number) > block_->room) grow(sizeof(Number));
      std::memcpy(numbers() + block_->size * sizeof(Number), &number, sizeof number);
      ++block_->size;
    }

   private:
    struct Block {
      std::size_t size;  // numbers held
      std::size_t room;  // bytes for them
    };
    char* numbers() const { return reinterpret_cast<char*>(block_ + 1); }
    void grow(std::size_t number_size) {
      const std::size_t room = block_ == nullptr ? 4 * number_size : 2 * block_->room;
      auto* const grown = static_cast<Block*>(std::realloc(block_, sizeof(Block) + room));
      if (grown == nullptr) throw std::bad_alloc();
      if (block_ == nullptr) grown->size = 0;
      grown->room = room;
      block_ = grown;
    }

    Block* block_ = nullptr;
  };

  bool continues_last_run(std::int64_t position) const {
    const auto last_index = static_cast<std::size_t>(spill_.at<std::int64_t>(spill_.size() - 2));
    return position == spill_.back<std::int64_t>() + static_cast<std::int64_t>(count_ - last_index);
  }

  // Starts a run at `position`, or turns plain when the runs are short.
  void add_run(std::int64_t position) {
    const std::size_t runs = spill_.size() / 2;  // after the first
    if ((runs + 1) * 2 > count_) {
      to_plain();
      push_plain(position);
    } else {
      spill_.push_back(static_cast<std::int64_t>(count_));
      spill_.push_back(position);
    }
  }

  static bool is_near(std::int64_t distance) {
    return distance >= std::numeric_limits<std::int32_t>::min() && distance <= std::numeric_limits<std::int32_t>::max();
  }

  void to_plain() {
    std::vector<std::int64_t> positions;
    positions.reserve(count_);
    bool near = true;
    for (std::size_t i = 1; i < count_; ++i) {
      positions.push_back((*this)[i]);
      near = near && is_near(positions.back() - first_);
    }
    spill_.clear();
    if (near && positions.size() <= few_size) {
      for (std::size_t i = 0; i < positions.size(); ++i) few_[i] = static_cast<std::int32_t>(positions[i] - first_);
      form_ = Form::few;
    } else if (near) {
      for (const std::int64_t position : positions) spill_.push_back(static_cast<std::int32_t>(position - first_));
      form_ = Form::near;
    } else {
      for (const std::int64_t position : positions) spill_.push_back(position);
      form_ = Form::far;
    }
  }

  void push_plain(std::int64_t position) {
    const bool near = is_near(position - first_);
    if (form_ == Form::few) {
      if (count_ - 1 < few_size && near) {
        few_[count_ - 1] = static_cast<std::int32_t>(position - first_);
        return;
      }
      for (std::size_t i = 0; i + 1 < count_; ++i) spill_.push_back(few_[i]);
      form_ = Form::near;
    }
    if (form_ == Form::near && !near) {
      std::vector<std::int64_t> positions;
      positions.reserve(spill_.size() + 1);
      for (std::size_t i = 0; i < spill_.size(); ++i) positions.push_back(first_ + spill_.at<std::int32_t>(i));
      spill_.clear();
      for (const std::int64_t kept : positions) spill_.push_back(kept);
      form_ = Form::far;
    }
    if (form_ == Form::near) {
      spill_.push_back(static_cast<std::int32_t>(position - first_));
    } else {
      spill_.push_back(position);
    }
  }

  std::int64_t first_ = 0;
  Spill spill_;
  std::size_t count_ = 0;
  std::array<std::int32_t, few_size> few_{};
  Form form_ = Form::runs;
};

}  // namespace xml2slist
