// One Matr object and the variables of a script, as a client holds them
// between calls.
#ifndef NODREL_CLI_SESSION_HPP
#define NODREL_CLI_SESSION_HPP

#include <deque>
#include <map>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "cli/display.hpp"
#include "cli/syntax.hpp"
#include "nodrel/matr.hpp"
#include "nodrel/variant.hpp"

namespace nodrel::cli {

class Session {
 public:
  // Output goes to `out`: printed values and what mPrint prints on Screen.
  // The object's message table is filled, so that ErrMsg has its texts.
  Session(std::ostream& out, Display& display);

  Matr& object() { return object_; }
  // The terminal as a form: mPrint prints on it with `screen` as obj.
  Variant screen() const;

  // Runs one statement. A run-time error of a call ends it as a nodrel::Error,
  // with what the call wrote left in the variables.
  void run(const Statement& statement);

  // Calls a method with the caller's values by reference (nullptr: left
  // out). When its arguments cannot be bound the error is an ArgumentError.
  Variant call(const MethodInfo& method, std::span<Variant* const> args);

  // The value of an expression; calls inside it run.
  Variant value_of(const Expr& expr);

 private:
  class Screen;
  Variant call(const MethodInfo& method, const std::vector<Expr>& args);
  std::vector<std::int32_t> index_values(const std::vector<Expr>& indices);
  void print(const std::vector<Expr>& items);

  std::ostream& out_;
  Display& display_;
  Matr object_;
  std::shared_ptr<Screen> screen_;
  std::map<std::string, Variant> variables_;  // by folded name; nodes never move
};

}  // namespace nodrel::cli

#endif  // NODREL_CLI_SESSION_HPP
