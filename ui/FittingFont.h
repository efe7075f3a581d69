#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

// The window's controls keep the places and sizes drawn for a small font
// (about 8 points). Under a desktop's larger font their captions would be
// cut, so the window takes the family of the desktop's font at the largest
// size, from the desktop's own down to a readable floor, at which every
// caption fits its control; a control whose caption does not fit even at
// the floor grows, to the right and downwards, into room nothing else
// takes.
namespace FittingFont {

// The size the controls were placed for. At 8 points (11 pixels at 96 dpi)
// Cantarell, Noto Sans and DejaVu Sans still draw lowercase letters 5 to 6
// pixels tall; at 7 points Cantarell's shrink to 4.
constexpr double kFloorPoints = 8;
// Sizes are tried in half points: at 96 dpi that reaches every pixel size.
constexpr double kStepPoints = 0.5;

// What the caption of a control (a button with its picture, a check box, a
// radio item, a frame, a label) lacks to be drawn whole at the control's
// font, as its style draws it: 0x0 when it fits, nothing for a control
// without a caption.
std::optional<QSize> Shortfall(const QWidget& control);

// The control's geometry grown by what it lacks, if there is room for it:
// inside its parent (the frame's border of a frame), overlapping no sibling
// it did not overlap already.
std::optional<QRect> Grown(const QWidget& control, QSize lack);

// Gives the window the desktop's family at the size the rule chooses and
// grows the controls that need it; returns the font given.
QFont Apply(QWidget& window, const QFont& desktop);

}  // namespace FittingFont
