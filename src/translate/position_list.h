#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xml2slist {

// The positions the repeats of one name took in an element's list, by
// repeat. Children of one name mostly follow one another, so the positions
// are kept as runs of consecutive ones, in memory that does not grow with
// the children; once the runs average fewer than two positions, as a plain
// list, which never takes more than it. The first position is kept apart,
// as most names are met once.
class PositionList {
 public:
  void clear() {
    data_.clear();
    count_ = 0;
    plain_ = false;
  }
  std::size_t size() const { return count_; }

  void push_back(std::int64_t position) {
    if (count_ == 0) {
      first_ = position;
    } else if (plain_) {
      data_.push_back(position);
    } else if (position != last_run_position() + static_cast<std::int64_t>(count_ - last_run_index())) {
      // A new run: data_ holds, after the first, each run's first index and position.
      if ((data_.size() / 2 + 1) * 2 > count_) {
        to_plain();
        data_.push_back(position);
      } else {
        data_.push_back(static_cast<std::int64_t>(count_));
        data_.push_back(position);
      }
    }
    ++count_;
  }

  // The position of the `i`th repeat kept, `i` < size().
  std::int64_t operator[](std::size_t i) const {
    if (i == 0) return first_;
    if (plain_) return data_[i - 1];
    // The last run that starts at or before `i`.
    std::size_t low = 0;
    std::size_t high = data_.size() / 2;  // runs after the first
    while (low < high) {
      const std::size_t middle = (low + high) / 2;
      if (static_cast<std::size_t>(data_[2 * middle]) <= i) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    if (low == 0) return first_ + static_cast<std::int64_t>(i);
    return data_[2 * low - 1] + static_cast<std::int64_t>(i - static_cast<std::size_t>(data_[2 * low - 2]));
  }

 private:
  std::size_t last_run_index() const { return data_.empty() ? 0 : static_cast<std::size_t>(data_[data_.size() - 2]); }
  std::int64_t last_run_position() const { return data_.empty() ? first_ : data_.back(); }

  void to_plain() {
    std::vector<std::int64_t> plain;
    plain.reserve(count_);
    for (std::size_t i = 1; i < count_; ++i) plain.push_back((*this)[i]);
    data_.swap(plain);
    plain_ = true;
  }

  std::int64_t first_ = 0;
  std::vector<std::int64_t> data_;
  std::size_t count_ = 0;
  bool plain_ = false;
};

}  // namespace xml2slist
