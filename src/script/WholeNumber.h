#pragma once
// Whole-number conversion of a text as the script commands need it: unlike the leading-number
// reading of Val, a text that is not a number as a whole is an error (Type mismatch) rather
// than 0.
#include <cstdint>
#include <string_view>

namespace posbench {

// True for an optionally signed decimal number (digits, a decimal point, an exponent) or an
// &H / &O number, with blanks allowed only around it.
bool IsNumericText(std::string_view text);

// The text rounded to a whole number, halves to even. Raises Type mismatch when the text is
// not numeric and Overflow outside the 32-bit range.
int32_t WholeNumber(std::string_view text);

}  // namespace posbench
