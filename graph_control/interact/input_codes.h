#pragma once
// The codes the control's events hand to the host: mouse buttons, shift keys, key codes,
// and the steps of a wheel's turn.
#include <qnamespace.h>
#include <QtGlobal>

namespace vellum32 {

// Left 1, right 2, middle 4, added up.
qint16 ButtonCode(Qt::MouseButtons buttons);

// Shift 1, Ctrl 2, Alt 4, added up.
qint16 ShiftCode(Qt::KeyboardModifiers modifiers);

// The classic virtual-key code of a key: letters and digits as their capital ASCII code,
// the keys of the usual keyboard by their codes, 0 for a key without one.
qint16 KeyCode(int key);

// Whole zoom steps of a wheel's turn: `rest` (eighths of a degree not yet a step) takes
// the turn, and gives up 15 degrees for each step; positive steps zoom in. A turn counts
// no more than 64 steps, so that any turn ends in a few steps and the count never
// overflows.
int WheelSteps(int& rest, int angleDelta);

}  // namespace vellum32
