#include "CaptionPlacement.h"

#include <algorithm>

namespace kvq {

namespace {
constexpr int kGap = 3;
}

QRect PlaceCaptionLabel(const QRect& control, const QSize& label, TCaptionPosition position) {
  // C++ integer division truncates toward zero, as the centring requires.
  int top = control.top() + (control.height() - label.height()) / 2;
  int left = control.left() + (control.width() - label.width()) / 2;
  switch (position) {
    case TCaptionPosition::cpLeft:
      left = std::max(0, control.left() - label.width() - kGap);
      break;
    case TCaptionPosition::cpRight:
      left = control.left() + control.width() + kGap;
      break;
    case TCaptionPosition::cpTop:
      top = std::max(0, control.top() - label.height() - kGap);
      break;
    case TCaptionPosition::cpBottom:
      top = control.top() + control.height() + kGap;
      break;
    case TCaptionPosition::cpNone:
      break;
  }
  return QRect(QPoint(left, top), label);
}

}  // namespace kvq
