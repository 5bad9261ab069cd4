#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace xml2slist {

// The positions the repeats of one name took in an element's list, by
// repeat. Children of one name mostly follow one another, so the positions
// are kept as runs of consecutive ones, in memory that does not grow with
// the children; once the runs average fewer than two positions, as a plain
// list of their distances from the first, in 4 bytes each while they fit.
// (A repeat whose member name was taken has the earlier member's position,
// which may come before the first.)
// The first position is kept apart, as most names are met once.
class PositionList {
 public:
  void clear() {
    runs_.clear();
    near_.clear();
    count_ = 0;
    form_ = Form::runs;
  }
  std::size_t size() const { return count_; }

  void push_back(std::int64_t position) {
    if (count_ == 0) {
      first_ = position;
    } else if (form_ == Form::runs) {
      if (position != last_run_position() + static_cast<std::int64_t>(count_ - last_run_index())) {
        // runs_ holds, after the first run, each run's first index and position.
        if ((runs_.size() / 2 + 1) * 2 > count_) {
          to_plain();
          push_plain(position);
        } else {
          runs_.push_back(static_cast<std::int64_t>(count_));
          runs_.push_back(position);
        }
      }
    } else {
      push_plain(position);
    }
    ++count_;
  }

  // The position of the `i`th repeat kept, `i` < size().
  std::int64_t operator[](std::size_t i) const {
    if (i == 0) return first_;
    if (form_ == Form::near) return first_ + near_[i - 1];
    if (form_ == Form::far) return runs_[i - 1];
    // The last run that starts at or before `i`.
    std::size_t low = 0;
    std::size_t high = runs_.size() / 2;  // runs after the first
    while (low < high) {
      const std::size_t middle = (low + high) / 2;
      if (static_cast<std::size_t>(runs_[2 * middle]) <= i) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    if (low == 0) return first_ + static_cast<std::int64_t>(i);
    return runs_[2 * low - 1] + static_cast<std::int64_t>(i - static_cast<std::size_t>(runs_[2 * low - 2]));
  }

 private:
  // Runs; distances from the first position in 4 bytes; whole positions in
  // runs_, once a distance does not fit (a list of over 2 billion items).
  enum class Form : std::uint8_t { runs, near, far };

  std::size_t last_run_index() const { return runs_.empty() ? 0 : static_cast<std::size_t>(runs_[runs_.size() - 2]); }
  std::int64_t last_run_position() const { return runs_.empty() ? first_ : runs_.back(); }

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
    if (near) {
      near_.reserve(count_);
      for (const std::int64_t position : positions) near_.push_back(static_cast<std::int32_t>(position - first_));
      std::vector<std::int64_t>().swap(runs_);
      form_ = Form::near;
    } else {
      runs_.swap(positions);
      form_ = Form::far;
    }
  }

  void push_plain(std::int64_t position) {
    if (form_ == Form::near && !is_near(position - first_)) {
      runs_.clear();
      runs_.reserve(near_.size() + 1);
      for (const std::int32_t distance : near_) runs_.push_back(first_ + distance);
      std::vector<std::int32_t>().swap(near_);
      form_ = Form::far;
    }
    if (form_ == Form::near) {
      near_.push_back(static_cast<std::int32_t>(position - first_));
    } else {
      runs_.push_back(position);
    }
  }

  std::int64_t first_ = 0;
  std::vector<std::int64_t> runs_;
  std::vector<std::int32_t> near_;
  std::size_t count_ = 0;
  Form form_ = Form::runs;
};

}  // namespace xml2slist
