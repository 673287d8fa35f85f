// The Matr object: its error code, its message table and the exchange of
// two values that the eliminations share.
#include "nodrel/matr.hpp"

#include <bit>
#include <cstdint>

#include "nodrel/error.hpp"

namespace nodrel {

namespace {
// The messages of the codes -1..9, in the order of their codes.
constexpr const char* kMessages[11] = {
    "Singolarita` Angolare",
    "Nessun Errore",
    "Ordini NON Uguali",
    "Ordini NON Validi",
    "Matrice NON Quadrata",
    "Matrice Singolare",
    "Parametro Errato",
    "Matrice NON Vettore",
    "",
    "Vettore Punti Errato",
    "Rango k della matrice dei coefficienti superiore a n-2",
};
}  // namespace

Matr::Matr() : locale_(Locale::process()) {}

const std::string& Matr::ErrMsg(std::int32_t code) const {
  if (code < -1 || code > 9) raise(ErrorNumber::kSubscriptOutOfRange);
  return err_msg_[static_cast<std::size_t>(code + 1)];
}

void Matr::Initialize_dMatr() {
  err_code_ = 0;
  for (std::size_t k = 0; k < err_msg_.size(); ++k) err_msg_[k] = kMessages[k];
}

void Matr::SwapValues(double& a, double& b) noexcept {
  // Through integers, so that no floating-point register can quiet a
  // signalling NaN on the way.
  const auto bits_a = std::bit_cast<std::uint64_t>(a);
  const auto bits_b = std::bit_cast<std::uint64_t>(b);
  a = std::bit_cast<double>(bits_b);
  b = std::bit_cast<double>(bits_a);
}

}  // namespace nodrel
