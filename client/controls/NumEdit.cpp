#include "NumEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <cmath>

namespace kvq {

namespace {

std::function<void()> beepSink;

void Beep() {
  if (beepSink)
    beepSink();
  else
    QApplication::beep();
}

bool ChecksMin(TValueCheck check) {
  return check == TValueCheck::vcMin || check == TValueCheck::vcBoth;
}

bool ChecksMax(TValueCheck check) {
  return check == TValueCheck::vcMax || check == TValueCheck::vcBoth;
}

bool LayoutHolds(const QLayout* layout, const QWidget* widget) {
  for (int i = 0; i < layout->count(); ++i) {
    QLayoutItem* item = layout->itemAt(i);
    if (item->widget() == widget) return true;
    if (item->layout() != nullptr && LayoutHolds(item->layout(), widget)) return true;
  }
  return false;
}

// The widgets inside `parent`, nested ones included, in the tab order of
// its window.
QList<QWidget*> TabOrderInside(QWidget* parent) {
  QList<QWidget*> order;
  QWidget* window = parent->window();
  const qsizetype limit = window->findChildren<QWidget*>().size() + 1;
  QWidget* w = window->nextInFocusChain();
  for (qsizetype steps = 0; w != nullptr && w != window && steps < limit; ++steps) {
    if (parent->isAncestorOf(w)) order.append(w);
    w = w->nextInFocusChain();
  }
  return order;
}

bool TakesEnterFocus(QWidget* w) {
  return qobject_cast<TGenericNumEdit*>(w) != nullptr && w->isVisible() && w->isEnabled() &&
         (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

// A caption label passes a click on to its control.
class TCaptionLabel : public QLabel {
 public:
  TCaptionLabel(QWidget* parent, std::function<void()> onClick)
      : QLabel(parent), onClick_(std::move(onClick)) {}

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) onClick_();
  }

 private:
  std::function<void()> onClick_;
};

}  // namespace

void SetBeepSink(std::function<void()> sink) {
  beepSink = std::move(sink);
}

TGenericNumEdit::TGenericNumEdit(QWidget* owner, int width)
    : QLineEdit(owner),
      colorUsual_(QApplication::palette().color(QPalette::Base)),
      colorError_(255, 0, 0) {
  resize(width, sizeHint().height());
  setText(QStringLiteral(" "));
  SetValid(true);
  connect(this, &QLineEdit::textChanged, this, &TGenericNumEdit::CheckValue);
  if (owner != nullptr && owner->isWindow()) {
    for (QPushButton* button : owner->findChildren<QPushButton*>()) button->setDefault(false);
  }
}

TGenericNumEdit::~TGenericNumEdit() {
  delete captionLabel_;
}

void TGenericNumEdit::SetValid(bool valid) {
  valid_ = valid;
  PaintBackground(valid ? colorUsual_ : colorError_);
  if (!valid) Beep();
}

void TGenericNumEdit::PaintBackground(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::Base, color);
  setPalette(p);
}

void TGenericNumEdit::SetValueMin(double bound) {
  valueMin_ = StoredBound(bound);
  CheckValue();
}

void TGenericNumEdit::SetValueMax(double bound) {
  valueMax_ = StoredBound(bound);
  CheckValue();
}

void TGenericNumEdit::SetValueCheck(TValueCheck check) {
  valueCheck_ = check;
  CheckValue();
}

void TGenericNumEdit::SetColorUsual(const QColor& color) {
  colorUsual_ = color;
  if (valid_) PaintBackground(color);
}

void TGenericNumEdit::SetColorError(const QColor& color) {
  colorError_ = color;
  if (!valid_) PaintBackground(color);
}

void TGenericNumEdit::SetNumber(double value, const QString& text) {
  realValue_ = value;
  intValue_ = RoundToInt(value);
  setText(text);
}

void TGenericNumEdit::CheckValue() {
  QString text = TrimBlanks(this->text());
  if (text.isEmpty()) text = QStringLiteral("0");
  const std::optional<double> value = ParseDecimalReal(WithDecimalPoint(text));
  // A text that is no number leaves the last value in place.
  if (value) {
    realValue_ = *value;
    intValue_ = RoundToInt(*value);
  }
  SetValid(value.has_value());
  if (ChecksMin(valueCheck_) && !(realValue_ >= valueMin_)) SetValid(false);
  if (ChecksMax(valueCheck_) && realValue_ > valueMax_) SetValid(false);
  if (colorError_ != colorUsual_) setToolTip(ComposeHint());
  TakeFocusIfInvalid();
}

QString TGenericNumEdit::ComposeHint() const {
  const bool russian = MessageLanguage() == TMessageLanguage::Russian;
  QString hint = russian ? QStringLiteral("Допустимая величина") : QStringLiteral("Sensible value");
  if (HoldsInteger()) hint += russian ? QStringLiteral(" (целое)") : QStringLiteral(" (integer)");
  if (ChecksMin(valueCheck_)) hint = FormatReal(valueMin_) + QStringLiteral(" <= ") + hint;
  if (ChecksMax(valueCheck_)) hint += QStringLiteral(" <= ") + FormatReal(valueMax_);
  if (valueCheck_ == TValueCheck::vcNone)
    hint += russian ? QStringLiteral(" - любая.") : QStringLiteral(" - any.");
  return hint;
}

void TGenericNumEdit::TakeFocusIfInvalid() {
  if (valid_ || isHidden() || !isEnabled()) return;
  const QWidget* parent = parentWidget();
  if (parent == nullptr || parent->isHidden() || !parent->isEnabled()) return;
  setFocus();
}

QString TGenericNumEdit::Caption() const {
  return captionLabel_ != nullptr ? captionLabel_->text() : QString();
}

void TGenericNumEdit::SetCaption(const QString& caption) {
  RebuildCaptionLabel(caption);
}

void TGenericNumEdit::SetCaptionPosition(TCaptionPosition position) {
  captionPosition_ = IsPlacedByLayout() ? TCaptionPosition::cpNone : position;
  RebuildCaptionLabel(Caption());
}

bool TGenericNumEdit::IsPlacedByLayout() const {
  const QWidget* parent = parentWidget();
  return parent != nullptr && parent->layout() != nullptr && LayoutHolds(parent->layout(), this);
}

void TGenericNumEdit::RebuildCaptionLabel(const QString& caption) {
  if (captionLabel_ != nullptr) {
    // Deferred: the old label may be inside its own click right now.
    captionLabel_->hide();
    captionLabel_->deleteLater();
    captionLabel_ = nullptr;
  }
  if (captionPosition_ == TCaptionPosition::cpNone) return;
  auto* label = new TCaptionLabel(parentWidget(), [this] { RunOnClick(); });
  label->hide();
  label->setText(caption);
  const QFontMetrics metrics(label->font());
  const QSize size(metrics.horizontalAdvance(caption), metrics.height());
  label->setGeometry(PlaceCaptionLabel(geometry(), size, captionPosition_));
  label->setToolTip(toolTip());
  label->setEnabled(isEnabled());
  // Without a parent the label would become a window of its own.
  if (parentWidget() != nullptr) label->setVisible(!isHidden());
  captionLabel_ = label;
}

void TGenericNumEdit::setVisible(bool visible) {
  QLineEdit::setVisible(visible);
  if (captionLabel_ != nullptr && parentWidget() != nullptr) captionLabel_->setVisible(visible);
}

void TGenericNumEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::EnabledChange && captionLabel_ != nullptr)
    captionLabel_->setEnabled(isEnabled());
  if (event->type() == QEvent::FontChange && captionLabel_ != nullptr)
    RebuildCaptionLabel(Caption());
}

void TGenericNumEdit::moveEvent(QMoveEvent* event) {
  QLineEdit::moveEvent(event);
  if (captionLabel_ != nullptr) RebuildCaptionLabel(Caption());
}

void TGenericNumEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  if (captionLabel_ != nullptr) RebuildCaptionLabel(Caption());
}

void TGenericNumEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  CheckValue();
}

void TGenericNumEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  // Enter acts as a Tab among the numeric edits and reaches no default button.
  event->accept();
  FocusNextNumEdit();
}

void TGenericNumEdit::FocusNextNumEdit() {
  QWidget* parent = parentWidget();
  if (parent == nullptr) return;
  const QList<QWidget*> order = TabOrderInside(parent);
  if (order.isEmpty()) return;
  const qsizetype start = std::max<qsizetype>(0, order.indexOf(this));
  // Cyclically from after the start place; the start place comes last.
  for (qsizetype step = 1; step <= order.size(); ++step) {
    QWidget* candidate = order[(start + step) % order.size()];
    if (TakesEnterFocus(candidate)) {
      candidate->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

void TGenericNumEdit::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    RunOnClick();
}

void TGenericNumEdit::RunOnClick() {
  if (onClick_) onClick_(this);
}

TRNumEdit::TRNumEdit(QWidget* owner) : TGenericNumEdit(owner, 60) {}

void TRNumEdit::SetValue(double value) {
  SetNumber(value, FormatReal(value));
}

TINumEdit::TINumEdit(QWidget* owner) : TGenericNumEdit(owner, 40) {}

void TINumEdit::SetValue(int value) {
  SetNumber(value, QString::number(value));
}

double TINumEdit::StoredBound(double bound) const {
  return std::trunc(bound);
}

}  // namespace kvq
