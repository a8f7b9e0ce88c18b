#pragma once
#include <QIcon>

namespace rheo {

// The toolbar's pictures (21 x 21): place 1 to 6 of ImageList2 as the plain picture, the same
// place of ImageList1 as the picture of a hovered button. Place 6 is the application emblem.
QIcon ToolbarPicture(int place);

// The application emblem in all its sizes, for the window and the task bar.
QIcon ApplicationIcon();

}  // namespace rheo
