// Number texts: the one implementation of every number form the program writes or reads.
// Nothing here depends on the process locale: the decimal separator is always a point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace zuka {

// General number form: the shortest text of up to 15 significant digits, point separator,
// no trailing zeros; exponent form ("1E-6", "1.5E20", "-2.5E-7") when the value rounded to 15
// digits is below 1E-5 in size or has more than 15 integer digits. Zero is "0". Every finite
// value's text reads back as a finite value: where 15 digits would round up past the largest
// double, the shortest digits that read back exactly are written ("1.7976931348623157E308").
std::string FormatGeneral(double x);

// Fixed form with `decimals` digits after the point, rounded half away from zero on the
// value's shortest decimal text (so 2.675 gives "2.68" at two decimals, as shown values are
// read back and summed). decimals = 0 writes no point.
std::string FormatFixed(double x, int decimals);

// Rounding by formatting: the value of FormatFixed(x, decimals) read back.
double RoundByFormat(double x, int decimals);

// Zero-padded integer of at least `width` digits ("%2.2d" style: 5 -> "05", -5 -> "-05").
std::string FormatInt(std::int64_t v, int width = 0);

// Reads a decimal number as typed into an edit field: surrounding blanks are ignored, an
// optional sign, digits with at most one point, an optional exponent. Anything else
// (empty text, "1,5", "abc", "inf") is no number.
std::optional<double> ParseDouble(std::string_view text);

// Reads an integer value of the settings file: decimal with optional sign, or hexadecimal
// after "0x"/"0X" (also "$", as the settings file's original reader took it).
std::optional<std::int64_t> ParseInteger(std::string_view text);

// The integer part of `x` (toward zero) when x is finite and that part fits an int; none for
// NaN, infinities and values beyond the int range (a file's "1E300" where an integer belongs).
std::optional<int> IntegerPart(double x);

// A value as a message repeats it, in single quotes: at most 40 bytes of it (cut at a
// character boundary and marked "…"), control characters and bytes that are no UTF-8 shown as
// \xNN, so that a message never carries raw bytes or a value of a megabyte.
std::string QuotedValue(std::string_view text);
// The same without the quotes, for a name a message repeats (a handle, a point's name).
std::string ShownValue(std::string_view text);

// A reader's error, in the one form every file reader of the program uses:
// "<head><file> (行 <line>: <what> '<value>')"; without a line "(<what> ...)", without a value
// no quote. The file's name is shown as QuotedValue shows a value, but whole.
std::string ReaderError(std::string_view head, std::string_view file,
                        std::optional<std::size_t> line, std::string_view what,
                        std::optional<std::string_view> value = std::nullopt);

// A text that is no number when a command converts it. what() names the field that holds the
// text as the user knows it and repeats the text (QuotedValue), for example
// "緯度 (度) (Common.ido1) の値 'abc' は数値ではありません".
class ConvertError : public std::runtime_error {
public:
    ConvertError(std::string text, std::string field);
    const std::string& Text() const { return text_; }
    const std::string& Field() const { return field_; }

protected:
    // what() is `message` as given.
    ConvertError(std::string text, std::string field, const std::string& message);

private:
    std::string text_;
    std::string field_;
};

// A number that a command cannot work with (a time outside the day, a step that would give
// too many times): the command stops as for a text that is no number. what() is the whole
// message, naming the setting and the range it needs.
class RangeError : public ConvertError {
public:
    RangeError(std::string text, std::string field, const std::string& message)
        : ConvertError(std::move(text), std::move(field), message) {}
};

// ParseDouble or throw ConvertError naming `field`.
double StrToFloat(std::string_view text, std::string_view field);

// Integer conversion of an edit text (decimal only), or throw ConvertError naming `field`.
std::int64_t StrToInt(std::string_view text, std::string_view field);

}  // namespace zuka
