// The arithmetic of a slider: range, value table, scale table and the
// mapping between thumb positions and indices. No pixels, no widgets.
#pragma once

#include <optional>
#include <vector>

namespace tolvane::ui {

class SliderModel {
 public:
  static constexpr int kMaxTable = 650;

  void SetRange(int minimum, int maximum);
  int Min() const { return min_; }
  int Max() const { return max_; }
  // Track length L in pixels along the slider's axis.
  void SetLength(int length) { length_ = length; }
  int Length() const { return length_; }

  // At most 650 entries are kept.
  void SetValueTable(const std::vector<int>& values);
  const std::vector<int>& ValueTable() const { return values_; }
  // Stores at most 650 positions; returns false when the count does not
  // match the range (maximum - minimum + 1); the table is kept all the same.
  bool SetScale(const std::vector<int>& positions);
  const std::vector<int>& Scale() const { return scale_; }

  int Index() const { return index_; }
  void SetIndex(int index) { index_ = index; }
  // The value an index stands for (through the value table when there is one).
  int ValueOf(int index) const;
  int Value() const { return ValueOf(index_); }
  // Index of a value: the first equal table entry, or the value itself
  // without a table; nothing when the table does not hold it.
  std::optional<int> IndexOfValue(int value) const;
  // Nearest index for pixel position p along the track.
  int NearestIndex(int p) const;
  // Pixel position of the thumb centre for an index.
  int CentreOf(int index) const;
  int Clamp(int index) const { return index < min_ ? min_ : index > max_ ? max_ : index; }

  // Positions spread evenly: step = (track - thumb) / (count - 1); empty when
  // the step is not positive.
  static std::vector<int> EvenScale(int trackLength, int thumbLength, int count);

 private:
  int min_ = 0, max_ = 10, index_ = 0, length_ = 0;
  std::vector<int> values_, scale_;
};

}  // namespace tolvane::ui
