// A growable array that keeps its dimension sizes beside its elements.
// No Windows API here.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace registry {

template <typename T>
class Array {
 public:
  Array() = default;

  // One-dimensional use: appends at the end.
  void append(T element) {
    elements_.push_back(std::move(element));
    dims_.assign(1, elements_.size());
  }
  // Removes the element at `index` (0-based); later ones move down.
  void removeAt(std::size_t index) {
    elements_.erase(elements_.begin() + static_cast<std::ptrdiff_t>(index));
    dims_.assign(1, elements_.size());
  }
  void clear() noexcept {
    elements_.clear();
    dims_.clear();
  }

  const std::vector<std::size_t>& dimensions() const noexcept { return dims_; }
  T& operator[](std::size_t i) { return elements_[i]; }
  const T& operator[](std::size_t i) const { return elements_[i]; }
  T& back() { return elements_.back(); }
  std::size_t size() const noexcept { return elements_.size(); }
  bool empty() const noexcept { return elements_.empty(); }
  auto begin() { return elements_.begin(); }
  auto end() { return elements_.end(); }
  auto begin() const { return elements_.begin(); }
  auto end() const { return elements_.end(); }
  T* data() noexcept { return elements_.data(); }

 private:
  std::vector<std::size_t> dims_;
  std::vector<T> elements_;
};

// The product of the dimension sizes; 0 for a null array or no dimensions.
template <typename T>
std::size_t elementCount(const Array<T>* array) noexcept {
  if (!array || array->dimensions().empty()) return 0;
  std::size_t count = 1;
  for (std::size_t d : array->dimensions()) count *= d;
  return count;
}

// The element count together with the address of the first element
// (nullptr when there are none).
template <typename T>
std::pair<std::size_t, T*> elementsOf(Array<T>* array) noexcept {
  const std::size_t count = elementCount(array);
  return {count, count ? array->data() : nullptr};
}

}  // namespace registry
