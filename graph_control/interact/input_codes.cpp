#include "interact/input_codes.h"

#include <algorithm>

namespace vellum32 {

qint16 ButtonCode(Qt::MouseButtons buttons) {
  return qint16((buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
                (buttons & Qt::MiddleButton ? 4 : 0));
}

qint16 ShiftCode(Qt::KeyboardModifiers modifiers) {
  return qint16((modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
                (modifiers & Qt::AltModifier ? 4 : 0));
}

qint16 KeyCode(int key) {
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9) || key == Qt::Key_Space)
    return qint16(key);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return qint16(112 + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default: return 0;
  }
}

int WheelSteps(int& rest, int angleDelta) {
  // One step is 15 degrees, 120 eighths. Zoom steps go no further than 1/1000 and 1000
  // times the home extent, which a ratio 4/3 to the 48th power spans.
  constexpr int Step = 120;
  constexpr qint64 MostSteps = 64;
  rest = int(std::clamp(qint64(rest) + angleDelta, -MostSteps * Step, MostSteps * Step));
  const int steps = rest / Step;  // towards zero: a part step stays in the rest
  rest -= steps * Step;
  return steps;
}

}  // namespace vellum32
