#include "cli/syntax.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <limits>
#include <string>
#include <utility>

#include "nodrel/double_array.hpp"

namespace nodrel::cli {

std::string fold(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

namespace {

// Arrays of more dimensions than this are refused: no method addresses more
// than two, and a bound keeps the parser's recursion small.
constexpr std::size_t kMaxDimensions = 8;
// Calls nested in arguments, mDet(mDet(...)), beyond this are refused.
constexpr int kMaxNesting = 64;

enum class Tok {
  kName,
  kNumber,
  kString,
  kLBracket,
  kRBracket,
  kLParen,
  kRParen,
  kComma,
  kColon,
  kSemicolon,
  kEquals,
  kQuestion,
  kPlus,
  kMinus,
  kComment,
  kNewline,
  kEnd,
  kBad,
};

struct Token {
  Tok kind = Tok::kEnd;
  Position at;
  std::size_t begin = 0;  // offsets into the source
  std::size_t end = 0;
  std::string text;  // a name as written, a text's value, a comment, a lexical error
  double number = 0.0;
  bool integral = false;  // written without point or exponent, and within 64 bits
  std::int64_t integer = 0;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_start(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool is_name_char(char c) { return is_name_start(c) || is_digit(c); }

std::string describe_char(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x21 && u < 0x7F) return std::string("'") + c + "'";
  static const char* const kHex = "0123456789ABCDEF";
  return std::string("byte 0x") + kHex[u >> 4] + kHex[u & 0xF];
}

class Lexer {
 public:
  explicit Lexer(std::string_view source) : src_(source) {
    // A UTF-8 byte order mark, as some editors write it, is not text.
    if (src_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  // The next token; at the end, kEnd again and again.
  Token next() {
    while (pos_ < src_.size()) {
      const char c = src_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        advance();
      } else {
        break;
      }
    }
    Token t;
    t.at = {line_, column_};
    t.begin = pos_;
    if (pos_ >= src_.size()) {
      t.kind = Tok::kEnd;
      t.end = pos_;
      return t;
    }
    const char c = src_[pos_];
    if (c == '\n') {
      t.kind = Tok::kNewline;
      advance();
    } else if (c == '\'' || c == '#') {
      t.kind = Tok::kComment;
      advance();
      const std::size_t from = pos_;
      while (pos_ < src_.size() && src_[pos_] != '\n') advance();
      t.text = std::string(src_.substr(from, pos_ - from));
    } else if (is_digit(c) || (c == '.' && pos_ + 1 < src_.size() && is_digit(src_[pos_ + 1]))) {
      number(t);
    } else if (is_name_start(c)) {
      while (pos_ < src_.size() && is_name_char(src_[pos_])) advance();
      t.kind = Tok::kName;
      t.text = std::string(src_.substr(t.begin, pos_ - t.begin));
    } else if (c == '"') {
      text(t);
    } else {
      advance();
      switch (c) {
        case '[': t.kind = Tok::kLBracket; break;
        case ']': t.kind = Tok::kRBracket; break;
        case '(': t.kind = Tok::kLParen; break;
        case ')': t.kind = Tok::kRParen; break;
        case ',': t.kind = Tok::kComma; break;
        case ':': t.kind = Tok::kColon; break;
        case ';': t.kind = Tok::kSemicolon; break;
        case '=': t.kind = Tok::kEquals; break;
        case '?': t.kind = Tok::kQuestion; break;
        case '+': t.kind = Tok::kPlus; break;
        case '-': t.kind = Tok::kMinus; break;
        default: t.kind = Tok::kBad; t.text = "unexpected " + describe_char(c);
      }
    }
    t.end = pos_;
    return t;
  }

 private:
  void number(Token& t) {
    bool fraction = false, exponent = false;
    while (pos_ < src_.size() && is_digit(src_[pos_])) advance();
    if (pos_ < src_.size() && src_[pos_] == '.') {
      fraction = true;
      advance();
      while (pos_ < src_.size() && is_digit(src_[pos_])) advance();
    }
    if (pos_ < src_.size() && (src_[pos_] == 'e' || src_[pos_] == 'E')) {
      std::size_t ahead = pos_ + 1;
      if (ahead < src_.size() && (src_[ahead] == '+' || src_[ahead] == '-')) ++ahead;
      if (ahead < src_.size() && is_digit(src_[ahead])) {
        exponent = true;
        while (pos_ < ahead) advance();
        while (pos_ < src_.size() && is_digit(src_[pos_])) advance();
      }
    }
    const std::string_view digits = src_.substr(t.begin, pos_ - t.begin);
    if (pos_ < src_.size() && (is_name_char(src_[pos_]) || src_[pos_] == '.')) {
      while (pos_ < src_.size() && (is_name_char(src_[pos_]) || src_[pos_] == '.')) advance();
      t.kind = Tok::kBad;
      t.text = "malformed number '" + std::string(src_.substr(t.begin, pos_ - t.begin)) + "'";
      return;
    }
    t.kind = Tok::kNumber;
    if (!fraction && !exponent) {
      const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), t.integer);
      t.integral = r.ec == std::errc() && r.ptr == digits.data() + digits.size();
    }
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), t.number);
    if (r.ec == std::errc::result_out_of_range) {
      // Out of range either way: strtod tells an underflow (a tiny or zero
      // value, accepted) from an overflow (infinite, refused). The host never
      // changes the C locale, so the point is the decimal separator.
      t.number = std::strtod(std::string(digits).c_str(), nullptr);
      if (std::isinf(t.number)) {
        t.kind = Tok::kBad;
        t.text = "number beyond the range of a double";
      }
    } else if (r.ec != std::errc()) {
      t.kind = Tok::kBad;
      t.text = "malformed number";
    }
  }

  void text(Token& t) {
    advance();  // the opening quote
    std::string value;
    for (;;) {
      if (pos_ >= src_.size() || src_[pos_] == '\n') {
        t.kind = Tok::kBad;
        t.text = "text not closed before the end of the line";
        return;
      }
      const char c = src_[pos_];
      advance();
      if (c == '"') {
        if (pos_ < src_.size() && src_[pos_] == '"') {
          value.push_back('"');
          advance();
          continue;
        }
        break;
      }
      value.push_back(c);
    }
    t.kind = Tok::kString;
    t.text = std::move(value);
  }

  void advance() {
    if (src_[pos_] == '\n') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
    ++pos_;
  }

  std::string_view src_;
  std::size_t pos_ = 0;
  int line_ = 1;
  int column_ = 1;
};

class Parser {
 public:
  // `defined`: the variables defined so far, or nullptr when any name that is
  // not a method may be a variable.
  Parser(std::string_view source, bool value_only, Names* defined = nullptr)
      : src_(source), lexer_(source), value_only_(value_only), defined_(defined) {}

  std::vector<Diagnostic> script(const std::function<bool(Statement&)>& each) {
    std::vector<Diagnostic> errors;
    while (peek_raw().kind != Tok::kEnd && errors.size() < kMaxDiagnostics) {
      release(next_);
      failed_ = false;
      resume_ = kNoResume;
      std::optional<Statement> st = statement();
      if (failed_) {
        errors.push_back(error_);
        if (resume_ != kNoResume) {
          next_ = resume_;
          open_.clear();
        } else {
          skip_line();
        }
      } else if (st && errors.empty() && !each(*st)) {
        break;
      }
    }
    return errors;
  }

  ParsedValue single_value() {
    ParsedValue v;
    v.expr = expression();
    if (!failed_) {
      const Token& t = peek();
      if (t.kind != Tok::kEnd) fail(t, "unexpected " + spelling(t) + " after the value");
    }
    if (failed_) v.error = error_;
    return v;
  }

 private:
  // -- tokens --

  // Token `i` of the source, lexed when first asked for. The tokens live in a
  // deque: those lexed later never move the ones already handed out.
  const Token& token(std::size_t i) {
    while (base_ + tokens_.size() <= i) {
      if (!tokens_.empty() && tokens_.back().kind == Tok::kEnd) return tokens_.back();
      tokens_.push_back(lexer_.next());
    }
    return tokens_[i - base_];
  }

  // Tokens before `index` are never read again.
  void release(std::size_t index) {
    while (base_ < index && !tokens_.empty()) {
      tokens_.pop_front();
      ++base_;
    }
  }

  // The next token as it stands.
  const Token& peek_raw() { return token(next_); }

  // The next meaningful token: comments never are, and line ends are not
  // inside brackets and parentheses, nor anywhere in a single value.
  const Token& peek() {
    while (token(next_).kind == Tok::kComment ||
           (token(next_).kind == Tok::kNewline && (!open_.empty() || value_only_))) {
      ++next_;
    }
    return token(next_);
  }

  const Token& take() {
    const Token& t = peek();
    last_end_ = t.end;
    if (t.kind != Tok::kEnd) ++next_;
    return t;
  }

  bool accept(Tok kind) {
    if (peek().kind != kind) return false;
    take();
    return true;
  }

  bool expect(Tok kind, const char* what) {
    if (accept(kind)) return true;
    fail(peek(), std::string("expected ") + what + ", found " + spelling(peek()));
    return false;
  }

  static std::string spelling(const Token& t) {
    switch (t.kind) {
      case Tok::kName: return "'" + t.text + "'";
      case Tok::kNumber: return "a number";
      case Tok::kString: return "a text";
      case Tok::kLBracket: return "'['";
      case Tok::kRBracket: return "']'";
      case Tok::kLParen: return "'('";
      case Tok::kRParen: return "')'";
      case Tok::kComma: return "','";
      case Tok::kColon: return "':'";
      case Tok::kSemicolon: return "';'";
      case Tok::kEquals: return "'='";
      case Tok::kQuestion: return "'?'";
      case Tok::kPlus: return "'+'";
      case Tok::kMinus: return "'-'";
      case Tok::kComment: return "a comment";
      case Tok::kNewline: return "the end of the line";
      case Tok::kEnd: return "the end of the input";
      case Tok::kBad: return t.text;
    }
    return "?";
  }

  void fail(const Token& at, std::string message) {
    if (failed_) return;  // the first error of a statement is the one to show
    failed_ = true;
    error_ = {at.at, at.kind == Tok::kBad ? at.text : std::move(message)};
    // A bracket still open when the input ends, or when a line that follows
    // it starts with something that cannot continue it, was most likely
    // never closed: the place to show is where it was opened, and the next
    // statement starts at that line.
    if (open_.empty() || value_only_) return;
    const Opening& o = open_.back();
    const bool line_start = at.kind != Tok::kEnd && at.at.line > o.at.line &&
                            src_.substr(at.begin - static_cast<std::size_t>(at.at.column - 1),
                                        static_cast<std::size_t>(at.at.column - 1))
                                    .find_first_not_of(" \t\r\f\v") == std::string_view::npos;
    if (at.kind != Tok::kEnd && !(line_start && &at == &token(next_) && starts_statement())) return;
    error_ = {o.at, std::string("'") + o.bracket + "' is not closed" +
                        (at.kind == Tok::kEnd ? std::string()
                                              : " (line " + std::to_string(at.at.line) +
                                                    " starts " + spelling(at) + ")")};
    if (at.kind != Tok::kEnd && &at == &token(next_)) resume_ = next_;
  }
  void fail(Position at, std::string message) {
    if (failed_) return;
    failed_ = true;
    error_ = {at, std::move(message)};
  }

  // Whether the next tokens read as the start of a statement: "?", a
  // method, a keyword of statements, or an assignment.
  bool starts_statement() {
    const Token& t = token(next_);
    if (t.kind == Tok::kQuestion) return true;
    if (t.kind != Tok::kName) return false;
    const std::string word = fold(t.text);
    return word == "print" || word == "call" || word == "let" || find_method(t.text) != nullptr ||
           token(next_ + 1).kind == Tok::kEquals;
  }

  // A bracket or parenthesis opened and not yet closed.
  void open(char bracket) { open_.push_back({peek().at, bracket}); }
  void close() { open_.pop_back(); }

  void skip_line() {
    open_.clear();
    while (peek_raw().kind != Tok::kEnd && peek_raw().kind != Tok::kNewline) ++next_;
    if (peek_raw().kind == Tok::kNewline) ++next_;
  }

  // -- statements --

  std::optional<Statement> statement() {
    const Token& first = peek_raw();
    if (first.kind == Tok::kNewline) {
      ++next_;
      return std::nullopt;
    }
    Statement st;
    st.at = first.at;
    const std::size_t begin = first.begin;
    if (first.kind == Tok::kComment) {
      st.kind = Statement::Kind::kComment;
      st.text = first.text;
      ++next_;
    } else {
      statement_body(st);
      if (failed_) return std::nullopt;
      st.text = std::string(src_.substr(begin, last_end_ - begin));
    }
    end_of_statement();
    if (failed_) return std::nullopt;
    return st;
  }

  void statement_body(Statement& st) {
    const Token& t = peek();
    if (t.kind == Tok::kQuestion) {
      take();
      print_items(st);
      return;
    }
    if (t.kind != Tok::kName) {
      fail(t, "expected a statement, found " + spelling(t));
      return;
    }
    const std::string word = fold(t.text);
    if (word == "print") {
      take();
      print_items(st);
    } else if (word == "call") {
      take();
      const Token& name = peek();
      const MethodInfo* m = name.kind == Tok::kName ? find_method(name.text) : nullptr;
      if (m == nullptr) {
        fail(name, name.kind == Tok::kName
                       ? unknown_method(name.text)
                       : "expected the name of a method after Call, found " + spelling(name));
        return;
      }
      take();
      call_arguments(st, m);
    } else if (word == "let") {
      take();
      assignment(st);
    } else if (const MethodInfo* m = find_method(t.text)) {
      take();
      call_arguments(st, m);
    } else if (token(next_ + 1).kind == Tok::kEquals) {
      assignment(st);
    } else if (token(next_ + 1).kind == Tok::kLParen && is_variable(word)) {
      element_assignment(st);
    } else if (is_variable(word) && defined_ != nullptr) {
      fail(t, "'" + t.text + "' is a variable: '? " + t.text + "' prints it");
    } else {
      fail(t, unknown_method(t.text));
    }
  }

  // Whether a name, folded, may stand for a variable here.
  bool is_variable(const std::string& folded) const {
    return defined_ == nullptr || defined_->count(folded) > 0;
  }

  // A variable read: it must have been defined.
  bool check_defined(const Token& name) {
    if (is_variable(fold(name.text))) return true;
    // A name that is nearly a method's was most likely meant as one.
    const std::string unknown = unknown_method(name.text);
    fail(name, unknown.find(';') != std::string::npos ? unknown : name.text + " is not defined");
    return false;
  }

  void define(const std::string& folded) {
    if (defined_ != nullptr) defined_->insert(folded);
  }

  void element_assignment(Statement& st) {
    const Token& name = take();
    st.kind = Statement::Kind::kAssignElement;
    st.name = fold(name.text);
    open('(');
    take();
    st.exprs = argument_list(Tok::kRParen);
    const bool closed = !failed_ && expect(Tok::kRParen, "')'");
    close();
    if (!closed) return;
    for (const Expr& index : st.exprs) {
      if (index.kind == Expr::Kind::kLeftOut) {
        fail(index.at, "an index is missing");
        return;
      }
    }
    if (!expect(Tok::kEquals, "'='")) return;
    st.exprs.push_back(expression());
  }

  void print_items(Statement& st) {
    st.kind = Statement::Kind::kPrint;
    while (!at_statement_end()) {
      st.exprs.push_back(expression());
      if (failed_) return;
      if (!accept(Tok::kComma) && !accept(Tok::kSemicolon)) break;
    }
  }

  void assignment(Statement& st) {
    const Token& name = peek();
    if (name.kind != Tok::kName) {
      fail(name, "expected a variable name, found " + spelling(name));
      return;
    }
    if (reserved(name.text)) {
      fail(name, "'" + name.text + "' is a reserved name, not a variable");
      return;
    }
    take();
    if (!expect(Tok::kEquals, "'='")) return;
    st.kind = Statement::Kind::kAssign;
    st.name = fold(name.text);
    st.exprs.push_back(expression());
    // Defined from the next statement on: A = A reads an undefined A.
    if (!failed_) define(st.name);
  }

  void call_arguments(Statement& st, const MethodInfo* m) {
    st.kind = Statement::Kind::kCall;
    st.method = m;
    if (peek().kind == Tok::kLParen) {
      open('(');
      take();
      st.exprs = argument_list(Tok::kRParen, m);
      expect(Tok::kRParen, "')'");
      close();
    } else {
      st.exprs = argument_list(Tok::kEnd, m);
    }
  }

  bool at_statement_end() {
    const Tok k = peek().kind;
    return k == Tok::kNewline || k == Tok::kEnd;
  }

  void end_of_statement() {
    const Token& t = peek();
    if (t.kind == Tok::kNewline) {
      take();
    } else if (t.kind != Tok::kEnd) {
      fail(t, "unexpected " + spelling(t) + " after the statement");
    }
  }

  // Arguments up to `closing` (kEnd: the end of the statement). An empty
  // place, between commas or after the last one, leaves an argument out.
  // Of a call of `method`, a variable passed where the method writes is
  // defined by it; elsewhere it is read.
  std::vector<Expr> argument_list(Tok closing, const MethodInfo* method = nullptr) {
    std::vector<Expr> args;
    auto at_close = [&] {
      return closing == Tok::kEnd ? at_statement_end() : peek().kind == closing;
    };
    if (at_close()) return args;
    for (;;) {
      if (peek().kind == Tok::kComma || at_close()) {
        Expr left_out;
        left_out.at = peek().at;
        args.push_back(std::move(left_out));
      } else {
        const std::size_t k = args.size();
        const bool written =
            method != nullptr && k < method->args.size() && method->args[k].role != ArgRole::kRead;
        args.push_back(expression(written));
        if (failed_) return args;
      }
      if (!accept(Tok::kComma)) return args;
      if (at_close()) {
        Expr left_out;
        left_out.at = peek().at;
        args.push_back(std::move(left_out));
        return args;
      }
    }
  }

  // -- expressions --

  static bool reserved(std::string_view name) {
    static const char* const kWords[] = {"empty", "null", "true",   "false",   "missing",
                                         "inf",   "nan",  "screen", "errcode", "errmsg",
                                         "let",   "call", "print",  "ubound",  "lbound"};
    const std::string f = fold(name);
    for (const char* w : kWords) {
      if (f == w) return true;
    }
    return find_method(name) != nullptr;
  }

  // A keyword that stands for a value, or nullopt.
  static std::optional<Variant> keyword_value(std::string_view folded) {
    if (folded == "empty") return Variant();
    if (folded == "null") return Variant::null();
    if (folded == "true") return Variant(true);
    if (folded == "false") return Variant(false);
    if (folded == "missing") return Variant::missing();
    if (folded == "inf") return Variant(std::numeric_limits<double>::infinity());
    if (folded == "nan") return Variant(std::numeric_limits<double>::quiet_NaN());
    return std::nullopt;
  }

  // `written`: the place of an argument that a method writes, where a
  // variable need not be defined yet.
  Expr expression(bool written = false) {
    Expr e;
    const Token& t = peek();
    e.at = t.at;
    if (open_.size() > kMaxNesting) {
      fail(t, "expression nested too deeply");
      return e;
    }
    switch (t.kind) {
      case Tok::kNumber:
      case Tok::kMinus:
      case Tok::kPlus:
      case Tok::kString:
      case Tok::kLBracket:
        e.kind = Expr::Kind::kValue;
        e.value = literal();
        return e;
      case Tok::kName: break;
      default: fail(t, "expected a value, found " + spelling(t)); return e;
    }
    const std::string word = fold(t.text);
    if (word == "inf" || word == "nan") {
      e.kind = Expr::Kind::kValue;
      e.value = literal();
      return e;
    }
    if (auto v = keyword_value(word)) {
      take();
      e.kind = Expr::Kind::kValue;
      e.value = std::move(*v);
      return e;
    }
    if (word == "screen") {
      take();
      e.kind = Expr::Kind::kScreen;
      return e;
    }
    if (value_only_) {
      fail(t, "unknown value '" + t.text + "' (text is written in double quotes)");
      return e;
    }
    if (word == "errcode") {
      take();
      e.kind = Expr::Kind::kErrCode;
      return e;
    }
    if (word == "errmsg") {
      take();
      e.kind = Expr::Kind::kErrMsg;
      if (!expect(Tok::kLParen, "'(' after ErrMsg")) return e;
      parenthesised(e);
      if (!failed_ && e.args.size() != 1) fail(e.at, "ErrMsg takes one code");
      return e;
    }
    if (word == "ubound" || word == "lbound") {
      take();
      e.kind = Expr::Kind::kBound;
      e.name = word;
      if (peek().kind != Tok::kLParen) {
        fail(peek(), "expected '(' after " + t.text + ", found " + spelling(peek()));
        return e;
      }
      take();
      parenthesised(e);
      if (!failed_ &&
          (e.args.empty() || e.args.size() > 2 || e.args.front().kind == Expr::Kind::kLeftOut)) {
        fail(e.at, e.name == "ubound" ? "UBound takes an array and a dimension or not"
                                      : "LBound takes an array and a dimension or not");
      }
      return e;
    }
    if (const MethodInfo* m = find_method(t.text)) {
      take();
      if (m->result == ResultKind::kNone) {
        fail(t.at, std::string(m->name) + " returns no value; call it as a statement");
        return e;
      }
      e.kind = Expr::Kind::kCall;
      e.method = m;
      if (peek().kind != Tok::kLParen) {
        fail(peek(), "expected '(' after the method name, found " + spelling(peek()));
        return e;
      }
      open('(');
      take();
      e.args = argument_list(Tok::kRParen, m);
      expect(Tok::kRParen, "')'");
      close();
      return e;
    }
    if (reserved(t.text)) {
      fail(t, "'" + t.text + "' cannot stand for a value");
      return e;
    }
    e.name = fold(t.text);
    const bool element = token(next_ + 1).kind == Tok::kLParen;
    if (written && !element) {
      define(e.name);
    } else if (!check_defined(t)) {
      return e;
    }
    take();
    e.kind = Expr::Kind::kVariable;
    if (element) {
      e.kind = Expr::Kind::kElement;
      take();
      parenthesised(e);
      for (const Expr& index : e.args) {
        if (!failed_ && index.kind == Expr::Kind::kLeftOut) fail(index.at, "an index is missing");
      }
    }
    return e;
  }

  // The arguments after a '(' just taken, and the ')'.
  void parenthesised(Expr& e) {
    open_.push_back({e.at, '('});
    e.args = argument_list(Tok::kRParen);
    expect(Tok::kRParen, "')'");
    close();
  }

  // A value written out: a number, a text, a keyword or an array with its
  // optional lower bounds.
  Variant literal() {
    std::vector<std::int32_t> lowers;
    Position first = peek().at;
    for (;;) {
      if (peek().kind == Tok::kLBracket) return array(lowers, first);
      const Token& start = peek();
      bool whole = false;
      std::optional<Variant> v = scalar(/*in_array=*/false, &whole);
      if (failed_) return {};
      if (!accept(Tok::kColon)) {
        if (!lowers.empty()) {
          fail(peek(), "expected ':' and then '[' after the lower bounds");
          return {};
        }
        return std::move(*v);
      }
      // -0 is a Double as a value (its sign matters there), 0 as a bound.
      const std::int64_t bound = v->integer() ? *v->integer() : 0;
      if (!whole || bound < INT32_MIN || bound > INT32_MAX) {
        fail(start, "a lower bound is a whole number within 32 bits");
        return {};
      }
      lowers.push_back(static_cast<std::int32_t>(bound));
      if (lowers.size() > kMaxDimensions) {
        fail(start, "more lower bounds than an array can have dimensions");
        return {};
      }
    }
  }

  // A number (with its sign), inf, nan, a text, or, inside arrays, the
  // keywords empty, null, true and false.
  // `whole`, when given, tells whether the value was written as a whole
  // number within 64 bits.
  std::optional<Variant> scalar(bool in_array, bool* whole = nullptr) {
    const Token& t = peek();
    if (t.kind == Tok::kString) {
      Variant v(take().text);
      return v;
    }
    bool negative = false;
    if (t.kind == Tok::kMinus || t.kind == Tok::kPlus) {
      negative = take().kind == Tok::kMinus;
    }
    const Token& n = peek();
    if (n.kind == Tok::kNumber) {
      take();
      if (whole != nullptr) *whole = n.integral;
      if (n.integral && !(negative && n.integer == 0))
        return Variant(negative ? -n.integer : n.integer);
      return Variant(negative ? -n.number : n.number);
    }
    if (n.kind == Tok::kName) {
      const std::string word = fold(n.text);
      if (word == "inf" || word == "nan") {
        take();
        const double v = word == "inf" ? std::numeric_limits<double>::infinity()
                                       : std::numeric_limits<double>::quiet_NaN();
        return Variant(negative ? -v : v);
      }
      if (in_array && !negative && word != "missing") {
        if (auto v = keyword_value(word)) {
          take();
          return v;
        }
      }
    }
    fail(n, std::string(in_array ? "expected a number, a text, empty, null, true or false"
                                 : "expected a number") +
                ", found " + spelling(n));
    return std::nullopt;
  }

  // An array literal while it is read: its elements in reading order (row
  // by row) and the shape that the first list of every level sets, each
  // later list checked against it as soon as it closes. An element costs a
  // double and a bit, whatever the length of the text.
  struct Reading {
    std::vector<double> numbers;  // every element; 0 where another value stands
    std::vector<bool> integral;   // written as a whole number
    std::vector<std::pair<std::size_t, Variant>> others;  // the elements a double cannot hold
    std::size_t non_numbers = 0;
    std::vector<std::int64_t> counts;  // the items of a list of each level; -1: none closed yet
    std::vector<int> kinds;            // of the items of each level: 0 unknown, 1 lists, 2 values
    std::vector<std::size_t> path;     // the place (from 1) of the item read in each open list
    std::size_t dims = 0;              // known once the first list reaches a value or is empty
  };

  // The item at `r.path` as the user sees it: "row 2" in a matrix, "list
  // [2][1]" or "element [1][2][2]" otherwise; `first`: the first of its level.
  static std::string item_name(const Reading& r, bool first) {
    const std::size_t depth = r.path.size();
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on
    // "[" + std::to_string(...) inlined here.
    if (r.dims == 2 && depth == 1) {
      std::string row = "row ";
      return row.append(std::to_string(first ? 1 : r.path[0]));
    }
    std::string text = depth == r.dims ? "element " : "list ";
    for (std::size_t p : r.path) {
      text += '[';
      text += std::to_string(first ? 1 : p);
      text += ']';
    }
    return text;
  }

  // The item at r.path is a list or a value, as the first of its level?
  bool check_kind(Reading& r, bool list, Position at) {
    const std::size_t depth = r.path.size();
    if (r.kinds.size() <= depth) r.kinds.resize(depth + 1, 0);
    const int kind = list ? 1 : 2;
    if (r.kinds[depth] == 0) r.kinds[depth] = kind;
    if (r.kinds[depth] == kind) return true;
    fail(at, item_name(r, false) + (list ? " is a list, " : " is a value, ") + item_name(r, true) +
                 (list ? " a value" : " a list"));
    return false;
  }

  Variant array(const std::vector<std::int32_t>& lowers, Position at) {
    Reading r;
    list(r);
    if (failed_) return {};
    if (r.counts[0] == 0) {
      if (!lowers.empty()) fail(at, "an array never dimensioned has no bounds");
      return Variant(DoubleArray());
    }
    const std::size_t dims = r.dims;
    if (lowers.size() > 1 && lowers.size() != dims) {
      fail(at, std::to_string(lowers.size()) + " lower bounds for an array of " +
                   std::to_string(dims) + " dimensions");
      return {};
    }
    std::vector<ArrayBound> bounds;
    for (std::size_t d = 0; d < dims; ++d) {
      const std::int32_t lower = lowers.empty() ? 1 : lowers.size() == 1 ? lowers[0] : lowers[d];
      const ArrayBound b{lower, static_cast<std::uint32_t>(r.counts[d])};
      if (b.upper() > INT32_MAX || b.upper() < INT32_MIN) {
        fail(at, "an upper bound beyond 32 bits");
        return {};
      }
      bounds.push_back(b);
    }
    // From reading order (the last index fastest) to storage order (the
    // first index fastest).
    const std::size_t total = r.numbers.size();
    std::vector<std::size_t> stored(total);
    std::vector<std::uint32_t> index(dims, 0);
    for (std::size_t k = 0; k < total; ++k) {
      std::size_t offset = 0, stride = 1;
      for (std::size_t d = 0; d < dims; ++d) {
        offset += index[d] * stride;
        stride *= bounds[d].count;
      }
      stored[k] = offset;
      for (std::size_t d = dims; d-- > 0;) {
        if (++index[d] < bounds[d].count) break;
        index[d] = 0;
      }
    }
    if (r.non_numbers == 0) {
      DoubleArray a(bounds);
      for (std::size_t k = 0; k < total; ++k) a.storage()[stored[k]] = r.numbers[k];
      return Variant(std::move(a));
    }
    VariantArray a;
    a.bounds = std::move(bounds);
    a.elements.resize(total);
    for (std::size_t k = 0; k < total; ++k) {
      a.elements[stored[k]] =
          r.integral[k] ? Variant(static_cast<std::int64_t>(r.numbers[k])) : Variant(r.numbers[k]);
    }
    for (auto& [k, v] : r.others) a.elements[stored[k]] = std::move(v);
    return Variant(std::move(a));
  }

  // A list at r.path, and its items.
  void list(Reading& r) {
    const std::size_t depth = r.path.size();
    const Position at = peek().at;
    if (depth >= kMaxDimensions) {
      fail(peek(), "more than 8 dimensions");
      return;
    }
    if (depth > 0 && !check_kind(r, true, at)) return;
    open('[');
    take();
    std::int64_t items = 0;
    if (!accept(Tok::kRBracket)) {
      for (;;) {
        // An array may be the whole text: the tokens of its elements before
        // this one are done with (no reference outlives an element).
        if (next_ > base_ + 64) release(next_ - 2);
        r.path.push_back(static_cast<std::size_t>(items + 1));
        if (peek().kind == Tok::kLBracket) {
          list(r);
        } else {
          // The value first: what cannot be one (a line that is a new
          // statement, the end) is shown as such, not as a shape.
          const Position value_at = peek().at;
          std::optional<Variant> v = scalar(/*in_array=*/true);
          if (v && check_kind(r, false, value_at)) {
            if (r.dims == 0) r.dims = depth + 1;
            element(r, std::move(*v));
          }
        }
        r.path.pop_back();
        ++items;
        if (failed_) break;
        if (accept(Tok::kComma)) continue;
        expect(Tok::kRBracket, "',' or ']'");
        break;
      }
    }
    close();
    if (failed_) return;
    if (r.counts.size() <= depth) r.counts.resize(depth + 1, -1);
    if (r.counts[depth] < 0) {
      r.counts[depth] = items;
      if (items == 0 && r.dims == 0) r.dims = depth + 1;
    } else if (r.counts[depth] != items) {
      fail(at, item_name(r, false) + " has " + std::to_string(items) +
                   (items == 1 ? " element, " : " elements, ") + item_name(r, true) + " has " +
                   std::to_string(r.counts[depth]));
    }
  }

  static void element(Reading& r, Variant v) {
    // Whole numbers a double holds exactly are kept as a flag; others keep
    // their value apart.
    constexpr std::int64_t kExact = std::int64_t{1} << 53;
    const std::int64_t* whole = v.integer();
    const double* real = v.real();
    if (whole != nullptr && *whole >= -kExact && *whole <= kExact) {
      r.numbers.push_back(static_cast<double>(*whole));
      r.integral.push_back(true);
      return;
    }
    r.numbers.push_back(whole != nullptr  ? static_cast<double>(*whole)
                        : real != nullptr ? *real
                                          : 0.0);
    r.integral.push_back(false);
    if (whole == nullptr && real == nullptr) ++r.non_numbers;
    if (real == nullptr) r.others.emplace_back(r.numbers.size() - 1, std::move(v));
  }

  struct Opening {
    Position at;
    char bracket;
  };
  static constexpr std::size_t kNoResume = static_cast<std::size_t>(-1);

  std::string_view src_;
  Lexer lexer_;
  std::deque<Token> tokens_;  // token base_ + k is tokens_[k]
  std::size_t base_ = 0;
  bool value_only_;
  Names* defined_;
  std::size_t next_ = 0;
  std::size_t last_end_ = 0;
  std::vector<Opening> open_;
  bool failed_ = false;
  std::size_t resume_ = kNoResume;  // where to go on after an unclosed bracket
  Diagnostic error_;
};

}  // namespace

Script parse_script(std::string_view text) {
  Script s;
  s.errors = Parser(text, false).script([&](Statement& st) {
    s.statements.push_back(std::move(st));
    return true;
  });
  return s;
}

std::vector<Diagnostic> parse_script(std::string_view text, Names& defined,
                                     const std::function<bool(Statement&)>& each) {
  return Parser(text, false, &defined).script(each);
}

std::string unknown_method(std::string_view name) {
  // Edit distance (insertions, deletions, changes, and exchanges of
  // neighbours), letters compared without regard to case.
  auto distance = [](std::string_view a, std::string_view b) {
    const std::string x = fold(a), y = fold(b);
    std::vector<std::vector<std::size_t>> d(x.size() + 1, std::vector<std::size_t>(y.size() + 1));
    for (std::size_t i = 0; i <= x.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= y.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= x.size(); ++i) {
      for (std::size_t j = 1; j <= y.size(); ++j) {
        d[i][j] = std::min(
            {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (x[i - 1] == y[j - 1] ? 0 : 1)});
        if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1]) {
          d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
      }
    }
    return d[x.size()][y.size()];
  };
  std::string text = "unknown method '" + std::string(name) + "'";
  if (name.size() > 64) return text;  // nothing is that near
  const MethodInfo* best = nullptr;
  std::size_t best_distance = 0;
  for (const MethodInfo& m : methods()) {
    const std::size_t d = distance(name, m.name);
    if (best == nullptr || d < best_distance) {
      best = &m;
      best_distance = d;
    }
  }
  // Near enough: a third of the name's letters at most, and at least one.
  if (best != nullptr && best_distance <= std::max<std::size_t>(1, name.size() / 3)) {
    text += "; did you mean " + std::string(best->name) + "?";
  }
  return text;
}

ParsedValue parse_value(std::string_view text) { return Parser(text, true).single_value(); }

}  // namespace nodrel::cli
