// Recording stand-ins for the platform's services: a Platform (the print
// destinations and the About box) and the five user-interface kinds, all appending to one log so that a test sees the
// order of the calls across them. Each raises run-time error 57 from the
// call whose log entry begins with its fail_on, once that call is logged.
#ifndef NODREL_TESTS_SUPPORT_FAKES_HPP
#define NODREL_TESTS_SUPPORT_FAKES_HPP

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nodrel/about.hpp"
#include "nodrel/error.hpp"
#include "nodrel/platform.hpp"

namespace nodrel::fakes {

using Log = std::vector<std::string>;

class Recorder {
 public:
  explicit Recorder(Log& log) : log_(log) {}
  std::string fail_on;  // empty: nothing fails

 protected:
  void record(const std::string& entry) {
    log_.push_back(entry);
    if (!fail_on.empty() && entry.rfind(fail_on, 0) == 0) raise(ErrorNumber::kDeviceIoError);
  }

 private:
  Log& log_;
};

class FakePlatform : public Platform, public Recorder {
 public:
  using Recorder::Recorder;
  void message_box(const std::string& text) override { record("MsgBox(" + text + ")"); }
  std::string clipboard_get_text() override { return record("Clipboard.get"), clipboard; }
  void clipboard_clear() override { record("Clipboard.clear"), clipboard.clear(); }
  void clipboard_set_text(const std::string& text) override {
    record("Clipboard.set(" + text + ")"), clipboard = text;
  }
  void write_file(const std::string& path, const std::string& text, bool append) override {
    record(std::string(append ? "File.append(" : "File.output(") + path + ", " + text + ")");
  }
  // The About box: its caption, then as many presses of System Info.
  void show_about(const AboutTexts& texts, const std::function<void()>& sys_info) override {
    record("About(" + texts.caption + ")");
    for (int k = 0; k < sys_info_presses; ++k) sys_info();
  }
  std::string find_sys_info_tool() override { return record("FindTool"), tool; }
  void start_program(const std::string& path) override { record("Start(" + path + ")"); }
  std::string clipboard;
  int sys_info_presses = 0;
  std::string tool;  // what find_sys_info_tool() answers
};

// A form or a picture box.
template <typename Kind>
class FakeSurface : public Kind, public Recorder {
 public:
  FakeSurface(Log& log, std::string name) : Recorder(log), name_(std::move(name)) {}
  void Cls() override { record(name_ + ".Cls"); }
  void Print(const std::string& text) override { record(name_ + ".Print(" + text + ")"); }

 private:
  std::string name_;
};

class FakeTextBox : public TextBox, public Recorder {
 public:
  explicit FakeTextBox(Log& log, std::string text = "") : Recorder(log), text(std::move(text)) {}
  std::string get_Text() override { return record("TextBox.get_Text"), text; }
  void put_Text(const std::string& value) override {
    record("TextBox.put_Text(" + value + ")"), text = value;
  }
  std::string text;
};

class FakeLabel : public Label, public Recorder {
 public:
  explicit FakeLabel(Log& log, std::string caption = "")
      : Recorder(log), caption(std::move(caption)) {}
  std::string get_Caption() override { return record("Label.get_Caption"), caption; }
  void put_Caption(const std::string& value) override {
    record("Label.put_Caption(" + value + ")"), caption = value;
  }
  std::string caption;
};

class FakePrinter : public Printer, public Recorder {
 public:
  using Recorder::Recorder;
  void Print(const std::string& text) override { record("Printer.Print(" + text + ")"); }
  void EndDoc() override { record("Printer.EndDoc"); }
};

template <typename T>
Variant object_variant(const std::shared_ptr<T>& object) {
  return Variant(std::shared_ptr<Object>(object));
}

}  // namespace nodrel::fakes

#endif  // NODREL_TESTS_SUPPORT_FAKES_HPP
