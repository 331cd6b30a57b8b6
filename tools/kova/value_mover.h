// Moving one row's values from a ripper's layout into a burner's layout by
// column name, for `kova convert`. Where the two columns lie alike the bytes
// are copied; otherwise the value goes through its text (dates and times in
// ISO form, exact decimals) and is read back for the burner's column by the
// host's informats or as a number. A burner column with no ripper column of
// its name, or a value its type cannot hold, becomes null.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kova/ripper.h"
#include "tools/kova/host_informats.h"
#include "tools/kova/rip_output.h"

namespace kova::tool {

class ValueMover {
 public:
  ValueMover(const KovaRipper* ripper, const KovaRipper* burner, KovaKernel* kernel);
  ~ValueMover();
  ValueMover(const ValueMover&) = delete;
  ValueMover& operator=(const ValueMover&) = delete;

  // Fills outRow (burner->rowLength bytes) from inRow.
  void move(const uint8_t* inRow, uint8_t* outRow);

  // Values cut to fit, and values that could not be converted (written null).
  uint64_t cut() const { return cut_; }
  uint64_t unconverted() const { return unconverted_; }
  // The burner columns without a ripper column of their name.
  const std::vector<std::string>& unmatched() const { return unmatched_; }

 private:
  struct Target;
  void plainMove(const Target& target, const uint8_t* inRow, uint8_t* outRow);
  void textMove(const Target& target, const Cell& cell, uint8_t* outRow);
  void storeText(const Target& target, const std::string& text, uint8_t* outRow);

  const KovaRipper* ripper_;
  const KovaRipper* burner_;
  KovaNls* nls_;
  RowReader reader_;
  HostInformats informats_;
  std::vector<Target> targets_;
  std::vector<Cell> cells_;
  bool needCells_ = false;
  uint64_t cut_ = 0;
  uint64_t unconverted_ = 0;
  std::vector<std::string> unmatched_;
};

// Reads decimal text ("-12.5", "3") as a DecimalValue of the given
// precision and scale; digits past the scale are dropped (*cut set). False
// when it is no number or does not fit the precision.
bool decimalFromText(std::string_view text, int precision, int scale, uint8_t* value19, bool* cut);

}  // namespace kova::tool
