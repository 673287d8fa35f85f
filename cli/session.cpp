#include "cli/session.hpp"

#include "cli/report.hpp"
#include "nodrel/dispatch.hpp"
#include "nodrel/error.hpp"
#include "nodrel/platform.hpp"

namespace nodrel::cli {

namespace {

// The place in column-major storage of the element at `indices`, as a
// client's A(i, j) finds it: error 9 for an index outside its dimension or
// a count of indices that is not the array's.
std::size_t element_offset(const Variant& array, const std::vector<std::int32_t>& indices) {
  if (!array.is_array()) raise(ErrorNumber::kTypeMismatch);
  const std::vector<ArrayBound>& bounds = array.array_bounds();
  if (indices.size() != bounds.size()) raise(ErrorNumber::kSubscriptOutOfRange);
  std::size_t offset = 0, stride = 1;
  for (std::size_t d = 0; d < bounds.size(); ++d) {
    if (indices[d] < bounds[d].lower || indices[d] > bounds[d].upper()) {
      raise(ErrorNumber::kSubscriptOutOfRange);
    }
    offset +=
        static_cast<std::size_t>(static_cast<std::int64_t>(indices[d]) - bounds[d].lower) * stride;
    stride *= bounds[d].count;
  }
  return offset;
}

}  // namespace

// The terminal as a form: what mPrint prints on it goes to the host's
// output, with the line ends of the terminal.
class Session::Screen : public Form {
 public:
  explicit Screen(std::ostream& out) : out_(out) {}
  // A terminal keeps what it showed: there is nothing to clear.
  void Cls() override {}
  void Print(const std::string& text) override {
    for (std::size_t k = 0; k < text.size(); ++k) {
      if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') continue;
      out_ << text[k];
    }
    out_ << '\n';
  }

 private:
  std::ostream& out_;
};

Session::Session(std::ostream& out, Display& display)
    : out_(out), display_(display), screen_(std::make_shared<Screen>(out)) {
  object_.Initialize_dMatr();
}

Variant Session::screen() const { return Variant(std::shared_ptr<Object>(screen_)); }

void Session::run(const Statement& statement) {
  switch (statement.kind) {
    case Statement::Kind::kComment: return;
    case Statement::Kind::kAssign: {
      Variant value = value_of(statement.exprs.front());
      variables_[statement.name] = std::move(value);
      return;
    }
    case Statement::Kind::kAssignElement: {
      std::vector<Expr> indices(statement.exprs.begin(), statement.exprs.end() - 1);
      const std::vector<std::int32_t> at = index_values(indices);
      Variant value = value_of(statement.exprs.back());
      Variant& array = variables_[statement.name];
      const std::size_t offset = element_offset(array, at);
      if (DoubleArray* doubles = array.double_array()) {
        doubles->storage()[offset] = to_double(value, object_.locale());
      } else if (VariantArray* variants = array.array();
                 variants != nullptr && offset < variants->elements.size()) {
        variants->elements[offset] = std::move(value);
      } else {
        raise(ErrorNumber::kTypeMismatch);
      }
      return;
    }
    case Statement::Kind::kPrint: print(statement.exprs); return;
    case Statement::Kind::kCall: call(*statement.method, statement.exprs); return;
  }
}

Variant Session::value_of(const Expr& expr) {
  switch (expr.kind) {
    case Expr::Kind::kValue: return expr.value;
    case Expr::Kind::kScreen: return screen();
    case Expr::Kind::kVariable: {
      const auto found = variables_.find(expr.name);
      return found == variables_.end() ? Variant() : found->second;
    }
    case Expr::Kind::kCall: return call(*expr.method, expr.args);
    case Expr::Kind::kErrCode: return Variant(object_.ErrCode());
    case Expr::Kind::kErrMsg:
      return Variant(object_.ErrMsg(to_int32(value_of(expr.args.front()), object_.locale())));
    case Expr::Kind::kLeftOut: return Variant::missing();
    case Expr::Kind::kElement: {
      const std::vector<std::int32_t> at = index_values(expr.args);
      const Variant& array = variables_[expr.name];
      const std::size_t offset = element_offset(array, at);
      if (const DoubleArray* doubles = array.double_array())
        return Variant(doubles->storage()[offset]);
      const VariantArray* variants = array.array();
      if (variants == nullptr || offset >= variants->elements.size()) {
        raise(ErrorNumber::kTypeMismatch);
      }
      return variants->elements[offset];
    }
    case Expr::Kind::kBound: {
      const Variant array = value_of(expr.args.front());
      if (!array.is_array()) raise(ErrorNumber::kTypeMismatch);
      const std::vector<ArrayBound>& bounds = array.array_bounds();
      std::int32_t d = 1;
      if (expr.args.size() > 1 && expr.args[1].kind != Expr::Kind::kLeftOut) {
        d = to_int32(value_of(expr.args[1]), object_.locale());
      }
      if (d < 1 || static_cast<std::size_t>(d) > bounds.size()) {
        raise(ErrorNumber::kSubscriptOutOfRange);
      }
      const ArrayBound& b = bounds[static_cast<std::size_t>(d - 1)];
      return expr.name == "lbound" ? Variant(b.lower) : Variant(b.upper());
    }
  }
  return {};
}

std::vector<std::int32_t> Session::index_values(const std::vector<Expr>& indices) {
  std::vector<std::int32_t> at;
  for (const Expr& index : indices) at.push_back(to_int32(value_of(index), object_.locale()));
  return at;
}

Variant Session::call(const MethodInfo& method, const std::vector<Expr>& args) {
  // Variables go by reference, as a client passes its own; anything else is
  // a temporary that the call may write and nobody reads.
  std::deque<Variant> temporaries;
  std::vector<Variant*> pointers;
  for (const Expr& arg : args) {
    if (arg.kind == Expr::Kind::kLeftOut) {
      pointers.push_back(nullptr);
    } else if (arg.kind == Expr::Kind::kVariable) {
      pointers.push_back(&variables_[arg.name]);
    } else {
      temporaries.push_back(value_of(arg));
      pointers.push_back(&temporaries.back());
    }
  }
  return call(method, pointers);
}

Variant Session::call(const MethodInfo& method, std::span<Variant* const> args) {
  std::size_t failed = args.size() + method.args.size() + 1;  // none
  try {
    return invoke(object_, method.dispid, args, &failed);
  } catch (const Error& e) {
    // Before the method ran: the argument at fault is named.
    if (failed <= method.args.size()) throw ArgumentError(e, method, failed, args.size());
    throw;
  }
}

void Session::print(const std::vector<Expr>& items) {
  // Values that are not arrays share a line; an array takes lines of its own.
  std::string line;
  bool pending = items.empty();
  for (const Expr& item : items) {
    const Variant value = value_of(item);
    if (value.is_array()) {
      if (pending) out_ << line << '\n';
      display_.write(out_, value);
      line.clear();
      pending = false;
    } else {
      if (pending) line += ' ';
      line += Display::scalar(value, false);
      pending = true;
    }
  }
  if (pending) out_ << line << '\n';
}

}  // namespace nodrel::cli
