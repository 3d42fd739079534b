#pragma once
// The program's pictures, drawn in code: the logo and the pictures of the main window's
// buttons.

#include <QIcon>
#include <QPixmap>

namespace app {

/// The logo: a record with a note on its label, `size` pixels square.
QPixmap LogoPicture(int size);

/// The program's icon (the logo at several sizes).
QIcon ProgramIcon();

enum class ButtonPicture { CreateAlbum, ExtractItems, Encode };

/// A button's picture, `size` pixels square.
QPixmap ButtonPixmap(ButtonPicture picture, int size);

/// A frame of the "Play Album" animation: level bars that rise and fall with `frame`.
QPixmap PlayFrame(int frame, int size);

}  // namespace app
