// Fitting a picture to the handheld: the size it becomes and an area-averaging scaler that
// takes the picture a row at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bitmap/device_capabilities.h"

namespace lumora::bitmap {

struct Size {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// The largest size with the aspect of width x height (each side within one pixel of the
// exact scale, at least 1) that fits inside maxWidth x maxHeight or maxHeight x maxWidth;
// width x height itself when it already fits one of them. Never larger than the picture.
// Sides and maxima must be positive.
Size fitSize(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight);

// The size a picture is scaled to before it is encoded at depth for the device: nullopt
// when it fits inside maxWidth x maxHeight either way round and the encoder takes it as it
// is, otherwise fitSize to the device's maxima, shrunk further where row padding would
// still exceed the encoder's limit. nullopt too for a device that takes nothing or a
// picture without pixels.
std::optional<Size> sizeForDevice(int32_t width, int32_t height, unsigned depth,
                                  const DeviceCapabilities& caps);

// Area averaging from one size down to another (never up): each output pixel is the mean
// of the source area it covers, partly covered source pixels counted by the part they
// cover. Exact integer arithmetic, so the result is the same on every machine. Holds one
// row of sums per output row being built; source rows go in top to bottom.
class BoxScaler {
 public:
  // from and to positive, to no larger than from on either side.
  BoxScaler(Size from, Size to);

  // Takes the next source row (from.width pixels, 0x00BBGGRR); calls emit(y, row) for
  // every output row that row completes.
  template <typename Emit>
  void push(std::span<const uint32_t> row, Emit&& emit) {
    addRow(row);
    while (completed_ < to_.height && rowsIn_ * to_.height >= (completed_ + 1) * from_.height) {
      finishRow();
      emit(completed_, std::span<const uint32_t>(out_));
      ++completed_;
    }
  }

 private:
  void addRow(std::span<const uint32_t> row);
  void finishRow();

  Size from_, to_;
  int64_t rowsIn_ = 0;
  int32_t completed_ = 0;
  std::vector<uint64_t> across_;  // the current source row summed per output column
  std::vector<uint64_t> sums_;    // the output row being built, 3 sums a pixel
  std::vector<uint64_t> carry_;   // what the last source row leaves for the next output row
  std::vector<uint32_t> out_;
};

// Scales a whole picture (width x height pixels, row-major) to `to` with BoxScaler.
std::vector<uint32_t> scalePixels(std::span<const uint32_t> pixels, Size from, Size to);

}  // namespace lumora::bitmap
