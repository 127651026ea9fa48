#include "ui/slider_model.h"

#include <algorithm>
#include <cstdlib>

namespace tolvane::ui {

void SliderModel::SetRange(int minimum, int maximum) {
  min_ = minimum;
  max_ = maximum < minimum ? minimum : maximum;
  if (index_ < min_ || index_ > max_) index_ = min_;
}

void SliderModel::SetValueTable(const std::vector<int>& values) {
  values_.assign(values.begin(),
                 values.begin() + std::min<size_t>(values.size(), kMaxTable));
}

bool SliderModel::SetScale(const std::vector<int>& positions) {
  scale_.assign(positions.begin(),
                positions.begin() + std::min<size_t>(positions.size(), kMaxTable));
  return int(positions.size()) == max_ - min_ + 1;
}

int SliderModel::ValueOf(int index) const {
  if (values_.empty()) return index;
  const int pos = index - min_;
  if (pos < 0 || pos >= int(values_.size())) return values_.empty() ? index : values_.back();
  return values_[size_t(pos)];
}

std::optional<int> SliderModel::IndexOfValue(int value) const {
  if (values_.empty()) return value;
  for (size_t i = 0; i < values_.size(); ++i)
    if (values_[i] == value) return min_ + int(i);
  return std::nullopt;
}

int SliderModel::NearestIndex(int p) const {
  int result = min_;
  if (!scale_.empty()) {
    int best = 0;
    for (size_t i = 0; i < scale_.size(); ++i)
      if (std::abs(p - scale_[i]) <= std::abs(p - scale_[size_t(best)])) best = int(i);
    result = min_ + best;
  } else {
    const int span = max_ - min_;
    if (span > 0 && length_ > 0) {
      const int f = span * p / length_;
      const int step = length_ / span;
      result = min_ + f;
      if (std::abs(p - step * (f + 1)) < std::abs(p - step * f)) ++result;
    }
  }
  return Clamp(result);
}

int SliderModel::CentreOf(int index) const {
  const int pos = index - min_;
  if (!scale_.empty() && pos >= 0 && pos < int(scale_.size())) return scale_[size_t(pos)];
  const int span = max_ - min_;
  if (span <= 0) return 0;
  return (length_ / span) * pos;
}

std::vector<int> SliderModel::EvenScale(int trackLength, int thumbLength, int count) {
  std::vector<int> out;
  if (count < 2) return out;
  const float step = float(trackLength - thumbLength) / float(count - 1);
  if (!(step > 0)) return out;
  float acc = float(thumbLength / 2);
  for (int i = 0; i < count && i < kMaxTable; ++i) {
    out.push_back(int(acc));
    acc += step;
  }
  return out;
}

}  // namespace tolvane::ui
