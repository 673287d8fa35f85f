// The destructors of the platform interfaces live here, once, so that their
// type information is emitted by the library alone: a client's object is
// recognised by dynamic_cast across the library boundary.
#include "nodrel/platform.hpp"

namespace nodrel {

Platform::~Platform() = default;
Form::~Form() = default;
PictureBox::~PictureBox() = default;
TextBox::~TextBox() = default;
Label::~Label() = default;
Printer::~Printer() = default;

}  // namespace nodrel
