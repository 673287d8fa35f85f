#include "platform/fltk/dialogs.hpp"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>
#include <string_view>

namespace nodrel::desktop::detail {

std::function<void(AboutDialog&)> on_about_shown;
std::function<void(MessageDialog&)> on_message_shown;
std::function<void(AboutDialog&)> on_about_closed;
std::function<void(MessageDialog&)> on_message_closed;

namespace {

// The icon: a matrix between brackets, its diagonal in red; 32 x 32 pixels
// in 16 colours at most.
const char* const kIcon[] = {
    "32 32 5 1",
    "  c None",
    ". c #FFFFE0",
    "# c #000080",
    "o c #008080",
    "r c #C00000",
    "                                ",
    "                                ",
    "  ............................  ",
    "  ............................  ",
    "  ............................  ",
    "  ............................  ",
    "  .....#####........#####.....  ",
    "  .....##..............##.....  ",
    "  .....##..............##.....  ",
    "  .....##..............##.....  ",
    "  .....##..rr..oo..oo..##.....  ",
    "  .....##..rr..oo..oo..##.....  ",
    "  .....##..............##.....  ",
    "  .....##..............##.....  ",
    "  .....##..............##.....  ",
    "  .....##..oo..rr..oo..##.....  ",
    "  .....##..oo..rr..oo..##.....  ",
    "  .....##..............##.....  ",
    "  .....##..............##.....  ",
    "  .....##..............##.....  ",
    "  .....##..oo..oo..rr..##.....  ",
    "  .....##..oo..oo..rr..##.....  ",
    "  .....##..............##.....  ",
    "  .....##..............##.....  ",
    "  .....##..............##.....  ",
    "  .....#####........#####.....  ",
    "  ............................  ",
    "  ............................  ",
    "  ............................  ",
    "  ............................  ",
    "                                ",
    "                                ",
};

// FLTK reads '@' as the start of a symbol and '&' as an underline mark;
// texts shown as they are double both. Line ends are plain LF on screen.
std::string label_text(std::string_view text, bool keep_ampersand) {
  std::string out;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (c == '\r' && k + 1 < text.size() && text[k + 1] == '\n') continue;
    if (c == '@') out += '@';
    if (c == '&' && !keep_ampersand) out += '&';
    out += c;
  }
  return out;
}

const AboutControl& control(std::string_view name) {
  for (const AboutControl& c : about_layout()) {
    if (c.name == name) return c;
  }
  return about_layout()[0];  // every name below is in the layout
}

Fl_Box* text_box(std::string_view name, const std::string& text, Fl_Fontsize size,
                 Fl_Font font = FL_HELVETICA) {
  const AboutControl& c = control(name);
  auto* box =
      new Fl_Box(to_pixels(c.left), to_pixels(c.top), to_pixels(c.width), to_pixels(c.height));
  box->label(text.c_str());
  box->align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT | FL_ALIGN_WRAP | FL_ALIGN_CLIP);
  box->labelsize(size);
  box->labelfont(font);
  return box;
}

// The etched separator: a grey line with a white one just below it.
class EtchedLine : public Fl_Box {
 public:
  EtchedLine() : Fl_Box(0, 0, to_pixels(kAboutClientWidth), to_pixels(kAboutClientHeight)) {}
  void draw() override {
    const AboutControl& grey = control("Line1(1)");
    const AboutControl& white = control("Line1(0)");
    fl_color(fl_rgb_color(128, 128, 128));
    fl_line(x() + to_pixels(grey.left), y() + to_pixels(grey.top), x() + to_pixels(grey.width),
            y() + to_pixels(grey.height));
    fl_color(FL_WHITE);
    fl_line(x() + to_pixels(white.left), y() + to_pixels(white.top), x() + to_pixels(white.width),
            y() + to_pixels(white.height));
  }
};

// Waits, handling events, until the window is hidden.
void modal_wait(Fl_Window& window) {
  while (window.shown()) Fl::wait();
}

}  // namespace

int to_pixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

AboutDialog::AboutDialog(const AboutTexts& texts, std::function<void()> sys_info)
    : caption_(label_text(texts.caption, false)),
      title_text_(label_text(texts.title, false)),
      version_text_(label_text(texts.version, false)),
      description_text_(label_text(texts.description, false)),
      disclaimer_text_(label_text(texts.disclaimer, false)),
      ok_text_(label_text(texts.ok_button, true)),
      sys_info_text_(label_text(texts.sys_info_button, true)),
      sys_info_(std::move(sys_info)),
      icon_image_(std::make_unique<Fl_Pixmap>(kIcon)) {
  window_ = std::make_unique<Fl_Double_Window>(to_pixels(kAboutClientWidth),
                                               to_pixels(kAboutClientHeight));
  window_->label(caption_.c_str());
  window_->begin();
  new EtchedLine();
  const AboutControl& icon = control("picIcon");
  auto* pic = new Fl_Box(to_pixels(icon.left), to_pixels(icon.top), to_pixels(icon.width),
                         to_pixels(icon.height));
  pic->image(icon_image_.get());
  title_ = text_box("lblTitle", title_text_, 18, FL_HELVETICA_BOLD);
  version_ = text_box("lblVersion", version_text_, 12);
  description_ = text_box("lblDescription", description_text_, 10);
  disclaimer_ = text_box("lblDisclaimer", disclaimer_text_, 10);
  const AboutControl& ok = control("cmdOK");
  // A return button answers Enter; the window's callback answers Escape and
  // the window manager's close: all three unload the form.
  ok_ = new Fl_Return_Button(to_pixels(ok.left), to_pixels(ok.top), to_pixels(ok.width),
                             to_pixels(ok.height), ok_text_.c_str());
  ok_->labelsize(12);
  ok_->callback(&AboutDialog::on_ok, this);
  const AboutControl& si = control("cmdSysInfo");
  sys_info_button_ = new Fl_Button(to_pixels(si.left), to_pixels(si.top), to_pixels(si.width),
                                   to_pixels(si.height), sys_info_text_.c_str());
  sys_info_button_->labelsize(12);
  sys_info_button_->callback(&AboutDialog::on_sys_info, this);
  window_->end();
  window_->callback(&AboutDialog::on_window, this);
  window_->set_modal();
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::run() {
  window_->show();
  if (on_about_shown) on_about_shown(*this);
  modal_wait(*window_);
  if (on_about_closed) on_about_closed(*this);
}

void AboutDialog::on_ok(Fl_Widget*, void* self) {
  auto* d = static_cast<AboutDialog*>(self);
  d->reason_ = CloseReason::kOkButton;
  d->window_->hide();
}

void AboutDialog::on_window(Fl_Widget*, void* self) {
  auto* d = static_cast<AboutDialog*>(self);
  d->reason_ = CloseReason::kWindow;
  d->window_->hide();
}

void AboutDialog::on_sys_info(Fl_Widget*, void* self) {
  auto* d = static_cast<AboutDialog*>(self);
  if (d->sys_info_) d->sys_info_();
}

MessageDialog::MessageDialog(const std::string& text) : text_(label_text(text, false)) {
  // The box is as large as its text needs, with a margin and the button.
  fl_font(FL_HELVETICA, 14);
  int w = 0;
  int h = 0;
  fl_measure(text_.c_str(), w, h, 0);
  const int margin = 16;
  const int button_w = 84;
  const int button_h = 25;
  const int width = std::max(w + 2 * margin, button_w + 2 * margin);
  const int height = h + 3 * margin + button_h;
  window_ = std::make_unique<Fl_Double_Window>(width, height);
  window_->label("");  // no title
  window_->begin();
  message_ = new Fl_Box(margin, margin, width - 2 * margin, h);
  message_->label(text_.c_str());
  message_->labelsize(14);
  message_->align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT);
  ok_ = new Fl_Return_Button((width - button_w) / 2, height - margin - button_h, button_w, button_h,
                             "OK");
  ok_->callback(&MessageDialog::on_ok, this);
  window_->end();
  window_->callback(&MessageDialog::on_window, this);
  window_->set_modal();
}

MessageDialog::~MessageDialog() = default;

void MessageDialog::run() {
  window_->show();
  if (on_message_shown) on_message_shown(*this);
  modal_wait(*window_);
  if (on_message_closed) on_message_closed(*this);
}

void MessageDialog::on_ok(Fl_Widget*, void* self) {
  auto* d = static_cast<MessageDialog*>(self);
  d->reason_ = CloseReason::kOkButton;
  d->window_->hide();
}

void MessageDialog::on_window(Fl_Widget*, void* self) {
  auto* d = static_cast<MessageDialog*>(self);
  d->reason_ = CloseReason::kWindow;
  d->window_->hide();
}

}  // namespace nodrel::desktop::detail
