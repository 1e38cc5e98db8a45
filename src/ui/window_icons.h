#pragma once
#include <QIcon>
#include <QPixmap>

namespace marl::ui {

// The program's pictures, drawn at run time so the program needs no image files or image plug-ins.

// The program logo (title bar, window icon): a blue rounded square with a white "M" and a red dot.
QPixmap LogoPixmap(int size);
QIcon ProgramIcon();

// The magnifier of the search field, 16 x 16.
QPixmap MagnifierPixmap();

// The pictures of the title-bar buttons, each 16 x 16; the hover picture is a darker variant.
enum class ButtonGlyph { kSettings, kMinimise, kMaximise, kRestore, kClose };
QPixmap ButtonPicture(ButtonGlyph glyph, bool hover);

// The plan tree's image list: the header item uses the first, every plan the second.
QIcon TreeHeaderIcon();
QIcon TreePlanIcon();

}  // namespace marl::ui
