#pragma once
// The read-only note under a list window's controls.

#include <QPlainTextEdit>
#include <string_view>

namespace app {

/// A read-only box named "Text1" showing `note` (CR LF lines) line for line, sized to hold
/// all of it without scroll bars.
QPlainTextEdit* MakeNoteBox(QWidget* parent, std::string_view note);

}  // namespace app
