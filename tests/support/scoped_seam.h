// SPDX-License-Identifier: MIT
// Replaces one of the program's seams (FileSystemSeam(), ProcessStarterSeam())
// for a scope and puts the original back when the scope ends, also when an
// assertion leaves it early.
#pragma once

#include <utility>

namespace glyphor::test {

template <typename T>
class ScopedSeam {
 public:
  // Keeps the seam's value to restore; change it through operator* / ->.
  explicit ScopedSeam(T& seam) : seam_(seam), saved_(seam) {}
  ScopedSeam(T& seam, T replacement) : ScopedSeam(seam) { seam_ = std::move(replacement); }
  ~ScopedSeam() { seam_ = std::move(saved_); }
  ScopedSeam(const ScopedSeam&) = delete;
  ScopedSeam& operator=(const ScopedSeam&) = delete;

  T& operator*() { return seam_; }
  T* operator->() { return &seam_; }

 private:
  T& seam_;
  T saved_;
};

}  // namespace glyphor::test
