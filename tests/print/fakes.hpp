// Recording stand-ins for the print destinations: a Platform and the five
// user-interface kinds, all appending to one log so that a test sees the
// order of the calls across them.
#ifndef NODREL_TESTS_PRINT_FAKES_HPP
#define NODREL_TESTS_PRINT_FAKES_HPP

#include <memory>
#include <string>
#include <vector>

#include "nodrel/error.hpp"
#include "nodrel/platform.hpp"

namespace nodrel::testing_fakes {

using Log = std::vector<std::string>;

class FakePlatform : public Platform {
 public:
  explicit FakePlatform(Log& log) : log_(log) {}
  void message_box(const std::string& text) override { log_.push_back("MsgBox(" + text + ")"); }
  std::string clipboard_get_text() override {
    log_.push_back("Clipboard.get");
    return clipboard;
  }
  void clipboard_clear() override {
    log_.push_back("Clipboard.clear");
    clipboard.clear();
  }
  void clipboard_set_text(const std::string& text) override {
    log_.push_back("Clipboard.set(" + text + ")");
    if (fail_clipboard_set) raise(ErrorNumber::kCantPerformRequestedOperation);
    clipboard = text;
  }
  void write_file(const std::string& path, const std::string& text, bool append) override {
    log_.push_back(std::string(append ? "File.append(" : "File.output(") + path + ", " + text +
                   ")");
  }

  std::string clipboard;
  bool fail_clipboard_set = false;

 private:
  Log& log_;
};

// A form or a picture box.
template <typename Kind>
class FakeSurface : public Kind {
 public:
  FakeSurface(Log& log, std::string name) : log_(log), name_(std::move(name)) {}
  void Cls() override { log_.push_back(name_ + ".Cls"); }
  void Print(const std::string& text) override { log_.push_back(name_ + ".Print(" + text + ")"); }

 private:
  Log& log_;
  std::string name_;
};

class FakeTextBox : public TextBox {
 public:
  explicit FakeTextBox(Log& log, std::string text = "") : text(std::move(text)), log_(log) {}
  std::string get_Text() override {
    log_.push_back("TextBox.get_Text");
    return text;
  }
  void put_Text(const std::string& value) override {
    log_.push_back("TextBox.put_Text(" + value + ")");
    if (fail_non_empty_put && !value.empty()) raise(ErrorNumber::kObjectDoesntSupport);
    text = value;
  }

  std::string text;
  bool fail_non_empty_put = false;

 private:
  Log& log_;
};

class FakeLabel : public Label {
 public:
  explicit FakeLabel(Log& log, std::string caption = "") : caption(std::move(caption)), log_(log) {}
  std::string get_Caption() override {
    log_.push_back("Label.get_Caption");
    return caption;
  }
  void put_Caption(const std::string& value) override {
    log_.push_back("Label.put_Caption(" + value + ")");
    caption = value;
  }

  std::string caption;

 private:
  Log& log_;
};

class FakePrinter : public Printer {
 public:
  explicit FakePrinter(Log& log) : log_(log) {}
  void Print(const std::string& text) override { log_.push_back("Printer.Print(" + text + ")"); }
  void EndDoc() override { log_.push_back("Printer.EndDoc"); }

 private:
  Log& log_;
};

template <typename T>
Variant object_variant(const std::shared_ptr<T>& object) {
  return Variant(std::shared_ptr<Object>(object));
}

}  // namespace nodrel::testing_fakes

#endif  // NODREL_TESTS_PRINT_FAKES_HPP
