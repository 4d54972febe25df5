// Single-line edits for numbers. Each checks its text on every change and
// when it loses the focus, turns ColorError when the text is not a number
// in range (with a beep, keeping the focus), says the accepted range in its
// tool tip, and carries an optional caption label beside it. Enter moves to
// the next numeric edit in tab order. TRNumEdit holds a real, TINumEdit an
// integer.
#pragma once

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <functional>

#include "CaptionPlacement.h"
#include "NumberRoutines.h"

namespace kvq {

enum class TValueCheck { vcNone, vcMin, vcMax, vcBoth };

// The sound of a failed check. QApplication::beep unless a program or a
// test installs its own (an empty one restores the beep).
void SetBeepSink(std::function<void()> sink);

class TGenericNumEdit : public QLineEdit {
  Q_OBJECT

 public:
  ~TGenericNumEdit() override;

  int IntValue() const { return intValue_; }

  bool Valid() const { return valid_; }
  // true paints ColorUsual; false paints ColorError and beeps.
  void SetValid(bool valid);

  double ValueMin() const { return valueMin_; }
  void SetValueMin(double bound);
  double ValueMax() const { return valueMax_; }
  void SetValueMax(double bound);
  TValueCheck ValueCheck() const { return valueCheck_; }
  void SetValueCheck(TValueCheck check);

  // The caption label's text; empty without a label.
  QString Caption() const;
  void SetCaption(const QString& caption);
  TCaptionPosition CaptionPosition() const { return captionPosition_; }
  // A control placed by a layout has no room for a label: cpNone.
  void SetCaptionPosition(TCaptionPosition position);
  // nullptr with cpNone.
  QLabel* CaptionLabel() const { return captionLabel_; }

  QColor ColorUsual() const { return colorUsual_; }
  void SetColorUsual(const QColor& color);
  QColor ColorError() const { return colorError_; }
  void SetColorError(const QColor& color);

  // A click on the control or on its caption label; Sender is the control.
  void SetOnClick(std::function<void(QObject* Sender)> handler) { onClick_ = std::move(handler); }

  // Reads the text, checks it against the range, colours the control,
  // composes the hint and, when invalid, takes the focus.
  void CheckValue();

  void setVisible(bool visible) override;

 protected:
  // The owner becomes the parent. If the owner is a window, none of its
  // push buttons stays the default button, so Enter stays with the edits.
  TGenericNumEdit(QWidget* owner, int width);

  // What the value is called in the hint: an integer or any real.
  virtual bool HoldsInteger() const = 0;
  // A bound as the control keeps it.
  virtual double StoredBound(double bound) const = 0;
  // Stores a value set by the program and shows it as `text`.
  void SetNumber(double value, const QString& text);
  double RealValue() const { return realValue_; }

  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void PaintBackground(const QColor& color);
  QString ComposeHint() const;
  void TakeFocusIfInvalid();
  void RebuildCaptionLabel(const QString& caption);
  bool IsPlacedByLayout() const;
  void FocusNextNumEdit();
  void RunOnClick();

  double realValue_ = 0;
  int intValue_ = 0;
  bool valid_ = true;
  double valueMin_ = 0;
  double valueMax_ = 0;
  TValueCheck valueCheck_ = TValueCheck::vcBoth;
  TCaptionPosition captionPosition_ = TCaptionPosition::cpLeft;
  QColor colorUsual_;
  QColor colorError_;
  QPointer<QLabel> captionLabel_;
  std::function<void(QObject*)> onClick_;
};

class TRNumEdit : public TGenericNumEdit {
  Q_OBJECT

 public:
  explicit TRNumEdit(QWidget* owner);

  double Value() const { return RealValue(); }
  // The text becomes FormatReal(value).
  void SetValue(double value);

 protected:
  bool HoldsInteger() const override { return false; }
  double StoredBound(double bound) const override { return bound; }
};

class TINumEdit : public TGenericNumEdit {
  Q_OBJECT

 public:
  explicit TINumEdit(QWidget* owner);

  // IntValue: the text's value rounded, ties to even.
  int Value() const { return IntValue(); }
  void SetValue(int value);

 protected:
  bool HoldsInteger() const override { return true; }
  // Bounds are whole numbers, truncated toward zero.
  double StoredBound(double bound) const override;
};

}  // namespace kvq
