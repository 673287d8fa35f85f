#include "cli/session.hpp"

#include "nodrel/dispatch.hpp"
#include "nodrel/platform.hpp"

namespace nodrel::cli {

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
  }
  return {};
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
  return invoke(object_, method.dispid, pointers);
}

void Session::print(const std::vector<Expr>& items) {
  // Values that are not arrays share a line; an array takes lines of its own.
  std::string line;
  bool pending = items.empty();
  for (const Expr& item : items) {
    const Variant value = value_of(item);
    if (value.is_array()) {
      if (pending) out_ << line << '\n';
      out_ << display_.array(value) << '\n';
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
