// Where the caption label of a numeric edit stands: centred on the control,
// then moved to the named side with a gap of 3 pixels, never past the
// parent's left or top edge.
#pragma once

#include <QRect>
#include <QSize>

namespace kvq {

enum class TCaptionPosition { cpLeft, cpRight, cpTop, cpBottom, cpNone };

// The label's rectangle for a control at `control` and a label of size
// `label`, in the parent's coordinates. With cpNone: the centred place.
QRect PlaceCaptionLabel(const QRect& control, const QSize& label, TCaptionPosition position);

}  // namespace kvq
