// mPrint: composes the print text of a Matrix, a Vector or a number and hands
// it to the destination its arguments name.
#include <cstdint>

#include "runtime/memory.hpp"
#include "nodrel/error.hpp"
#include "nodrel/matr.hpp"
#include "print/compose.hpp"
#include "print/destination.hpp"

namespace nodrel {

namespace {

// Upper bound of dimension d of the array a variant holds: run-time error 9
// when it has fewer dimensions (an array never dimensioned has none).
std::int32_t upper_bound(const Variant& value, std::size_t d) {
  const std::vector<ArrayBound>& bounds = value.array_bounds();
  if (d > bounds.size()) raise(ErrorNumber::kSubscriptOutOfRange);
  const std::int64_t u = bounds[d - 1].upper();
  if (u < INT32_MIN || u > INT32_MAX) raise(ErrorNumber::kSubscriptOutOfRange);
  return static_cast<std::int32_t>(u);
}

}  // namespace

void Matr::set_platform(std::shared_ptr<Platform> platform) { platform_ = std::move(platform); }

Platform& Matr::platform() {
  if (!platform_) platform_ = default_platform();
  return *platform_;
}

void Matr::mPrint(VariantRef ToPrint, VariantRef obj, VariantRef Perif, VariantRef frmt,
                  VariantRef Comment, VariantRef RowCol, VariantRef Append, VariantRef Modal) {
  // The text, and what the destinations make of it, live in plain strings:
  // memory refused for them is error 7, as it is for an array.
  detail::with_scratch([&] {
    static_cast<void>(Modal);  // accepted for the interface's sake; the message box is always modal
    err_code_ = 0;
    const detail::Destination destination = detail::resolve_destination(*obj, *Perif);

    // The defaults are local: a caller's variable never receives them. Only
    // RowCol is written back, and only when there is no array to label.
    const Variant comment = Comment->is_missing() ? Variant("") : *Comment;
    const Variant append = Append->is_missing() ? Variant(true) : *Append;
    const Variant pattern =
        frmt->is_missing() ? Variant(std::string(detail::kDefaultPattern)) : *frmt;
    Variant row_col = RowCol->is_missing() ? Variant(true) : *RowCol;
    const Variant& value = *ToPrint;
    if (!value.is_array()) {
      *RowCol = Variant(false);
      row_col = Variant(false);
    }

    std::string text = detail::text_argument(comment);
    text += detail::kLineEnd;
    if (value.is_array()) {
      // The working copy takes the array's shape first, so that a source of
      // one dimension stays a Vector; a second dimension it cannot take is
      // ignored here, as mDuplVar ignores it.
      const std::int32_t u1 = upper_bound(value, 1);
      print_copy_.redim(u1);
      if (value.array_bounds().size() >= 2) {
        try {
          print_copy_.redim(u1, upper_bound(value, 2));
        } catch (const Error&) {
          // Suppressed by design: the copy stays one-dimensional.
        }
      }
      mDuplVar(print_copy_, value);
      const std::string frmt_text = detail::text_argument(pattern);
      if (mMatrIsVect(print_copy_)) {
        detail::append_vector(text, print_copy_, frmt_text, locale_);
      } else {
        const bool labels = to_boolean_null_false(row_col, locale_);
        detail::append_matrix(text, print_copy_, frmt_text, labels, locale_);
      }
    } else if (is_numeric(value, locale_)) {
      detail::append_number(text, to_double(value, locale_), detail::text_argument(pattern),
                            locale_);
    }
    detail::deliver(destination, *obj, append, text, platform(), locale_);
  });
}

}  // namespace nodrel
