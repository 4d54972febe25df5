// Qt ends the process with an abort (and a core dump) when its platform
// cannot start, as when DISPLAY names a display that does not exist. While
// a DisplayCheck lives (around the creation of the application object) such
// an end becomes the program's own: "convertor: the display cannot be
// opened: REASON", the way to convert without the window, and exit status 2.
#pragma once

#include <QtGlobal>

namespace kvq {

class DisplayCheck {
 public:
  DisplayCheck();
  ~DisplayCheck();
  DisplayCheck(const DisplayCheck&) = delete;
  DisplayCheck& operator=(const DisplayCheck&) = delete;

 private:
  QtMessageHandler previous_;
};

// The exit status of a window that cannot be shown.
inline constexpr int kExitNoDisplay = 2;

}  // namespace kvq
