#include "print/destination.hpp"

#include "nodrel/error.hpp"
#include "print/compose.hpp"

namespace nodrel::detail {

namespace {

// Only ASCII letters change: the keywords are ASCII, and leaving every other
// byte alone keeps a UTF-8 path intact in the written-back value.
std::string upper_ascii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

Destination resolve_destination(const Variant& obj, Variant& perif) {
  Destination d;
  if (!obj.is_missing()) {
    d.keyword = "OBJECT";
  } else if (perif.is_missing()) {
    d.keyword = "DEBUG";
  } else {
    d.path = text_argument(perif);
    d.keyword = upper_ascii(d.path);
  }
  perif = Variant(d.keyword);
  return d;
}

void deliver(const Destination& destination, const Variant& obj, const Variant& append,
             const std::string& text, Platform& platform, const Locale& locale) {
  auto appending = [&] { return to_boolean_null_false(append, locale); };
  const std::string& keyword = destination.keyword;
  if (keyword == "DEBUG") return;
  if (keyword == "OBJECT") {
    const std::shared_ptr<Object>* held = obj.object();
    if (held == nullptr) raise(ErrorNumber::kObjectRequired);
    Object* target = held->get();
    // The kinds are tested in this order and only the first that matches is
    // served, so an object that is both a text box and a label is a text box.
    if (auto* form = dynamic_cast<Form*>(target)) {
      if (!appending()) form->Cls();
      form->Print(text);
    } else if (auto* picture = dynamic_cast<PictureBox*>(target)) {
      if (!appending()) picture->Cls();
      picture->Print(text);
    } else if (auto* box = dynamic_cast<TextBox*>(target)) {
      if (!appending()) box->put_Text("");
      box->put_Text(box->get_Text() + text + std::string(kLineEnd));
    } else if (auto* label = dynamic_cast<Label*>(target)) {
      if (!appending()) label->put_Caption("");
      label->put_Caption(label->get_Caption() + text);
    } else if (auto* printer = dynamic_cast<Printer*>(target)) {
      printer->Print(text);
      printer->EndDoc();
    }
    return;
  }
  if (keyword == "MSGBOX") {
    platform.message_box(text);
    return;
  }
  if (keyword == "CLIPBOARD") {
    if (appending()) {
      platform.clipboard_set_text(platform.clipboard_get_text() + text);
    } else {
      platform.clipboard_clear();
      platform.clipboard_set_text(text);
    }
    return;
  }
  platform.write_file(destination.path, text, appending());
}

}  // namespace nodrel::detail
