// The numeric edit controls as real widgets under the offscreen platform.
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <memory>

#include "NumEdit.h"

using namespace kvq;

Q_DECLARE_METATYPE(kvq::TValueCheck)
Q_DECLARE_METATYPE(kvq::TCaptionPosition)
Q_DECLARE_METATYPE(kvq::TMessageLanguage)

namespace {

QColor Background(const TGenericNumEdit& edit) {
  return edit.palette().color(QPalette::Base);
}

void ShowAndWait(QWidget& window) {
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
}

}  // namespace

class NumEditTest : public QObject {
  Q_OBJECT

  int beeps_ = 0;
  std::unique_ptr<QWidget> form_;

 private slots:
  void init() {
    beeps_ = 0;
    SetBeepSink([this] { ++beeps_; });
    SetMessageLanguage(TMessageLanguage::English);
    form_ = std::make_unique<QWidget>();
    form_->resize(400, 300);
  }
  void cleanup() { form_.reset(); }

  void ConstructionGivesTheDefaults() {
    auto* integer = new TINumEdit(form_.get());
    auto* real = new TRNumEdit(form_.get());
    QCOMPARE(integer->parentWidget(), form_.get());
    QCOMPARE(integer->width(), 40);
    QCOMPARE(real->width(), 60);
    QCOMPARE(integer->text(), QStringLiteral(" "));
    QVERIFY(integer->Valid());
    QCOMPARE(integer->ValueCheck(), TValueCheck::vcBoth);
    QCOMPARE(integer->CaptionPosition(), TCaptionPosition::cpLeft);
    QVERIFY(integer->CaptionLabel() == nullptr);
    QCOMPARE(integer->Caption(), QString());
    QCOMPARE(integer->ColorUsual(), QApplication::palette().color(QPalette::Base));
    QCOMPARE(integer->ColorError(), QColor(255, 0, 0));
    QCOMPARE(Background(*integer), integer->ColorUsual());
    QCOMPARE(beeps_, 0);
  }

  void EditOnAFormTakesTheDefaultFlagFromItsButtons() {
    QDialog dialog;
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    auto* panel = new QFrame(&dialog);
    auto* nested = new QPushButton(QStringLiteral("Apply"), panel);
    ok->setDefault(true);
    nested->setDefault(true);
    new TINumEdit(&dialog);
    QVERIFY(!ok->isDefault());
    QVERIFY(!nested->isDefault());
  }

  void EditOnAPanelLeavesTheButtonsAlone() {
    auto* ok = new QPushButton(QStringLiteral("OK"), form_.get());
    auto* panel = new QFrame(form_.get());
    ok->setDefault(true);
    new TINumEdit(panel);
    QVERIFY(ok->isDefault());
  }

  void IntegerEditChecksItsRange_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("intValue");
    QTest::addColumn<int>("beeps");
    QTest::newRow("in range") << "8" << true << 8 << 0;
    QTest::newRow("lower bound") << "1" << true << 1 << 0;
    QTest::newRow("upper bound") << "50" << true << 50 << 0;
    QTest::newRow("decimal rounds up") << "7.6" << true << 8 << 0;
    QTest::newRow("tie to even") << "2.5" << true << 2 << 0;
    QTest::newRow("comma") << "3,5" << true << 4 << 0;
    QTest::newRow("blanks around") << "  12\t" << true << 12 << 0;
    QTest::newRow("above") << "60" << false << 60 << 1;
    QTest::newRow("just above") << "50.4" << false << 50 << 1;
    QTest::newRow("below though it rounds to 1") << "0.6" << false << 1 << 1;
    QTest::newRow("empty reads 0") << "" << false << 0 << 1;
    QTest::newRow("blank reads 0") << "   " << false << 0 << 1;
    QTest::newRow("negative") << "-3" << false << -3 << 1;
  }
  void IntegerEditChecksItsRange() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, intValue);
    QFETCH(int, beeps);
    auto* edit = new TINumEdit(form_.get());
    edit->SetValueMin(1);
    edit->SetValueMax(50);
    edit->setText(QStringLiteral("20"));
    beeps_ = 0;
    edit->setText(text);
    QCOMPARE(edit->Valid(), valid);
    QCOMPARE(edit->IntValue(), intValue);
    QCOMPARE(edit->Value(), intValue);
    QCOMPARE(Background(*edit), valid ? edit->ColorUsual() : QColor(255, 0, 0));
    QCOMPARE(beeps_, beeps);
    // The decimal form stays in the text of a valid integer edit.
    QCOMPARE(edit->text(), text);
  }

  void MalformedTextKeepsTheLastValue() {
    auto* edit = new TINumEdit(form_.get());
    edit->SetValueMin(1);
    edit->SetValueMax(50);
    edit->setText(QStringLiteral("12"));
    beeps_ = 0;
    edit->setText(QStringLiteral("12x"));
    QVERIFY(!edit->Valid());
    QCOMPARE(edit->IntValue(), 12);
    QCOMPARE(beeps_, 1);
    // A malformed text whose last value is also out of range fails twice.
    edit->setText(QStringLiteral("60"));
    beeps_ = 0;
    edit->setText(QStringLiteral("6O"));
    QCOMPARE(beeps_, 2);
  }

  void RealEditReadsCommaAndTrailingPoint_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("comma") << "2,5" << 2.5;
    QTest::newRow("trailing point") << "7." << 7.0;
    QTest::newRow("exponent") << "-1.5e-7" << -1.5e-7;
    QTest::newRow("empty") << "" << 0.0;
  }
  void RealEditReadsCommaAndTrailingPoint() {
    QFETCH(QString, text);
    QFETCH(double, value);
    auto* edit = new TRNumEdit(form_.get());
    edit->SetValueCheck(TValueCheck::vcNone);
    edit->setText(text);
    QVERIFY(edit->Valid());
    QCOMPARE(edit->Value(), value);
  }

  void OneSidedChecks() {
    auto* edit = new TRNumEdit(form_.get());
    edit->SetValueMin(-1);
    edit->SetValueMax(1);
    edit->SetValueCheck(TValueCheck::vcMin);
    edit->setText(QStringLiteral("1e9"));
    QVERIFY(edit->Valid());
    edit->setText(QStringLiteral("-2"));
    QVERIFY(!edit->Valid());
    edit->SetValueCheck(TValueCheck::vcMax);
    QVERIFY(edit->Valid());
    edit->setText(QStringLiteral("1.5"));
    QVERIFY(!edit->Valid());
    edit->SetValueCheck(TValueCheck::vcNone);
    QVERIFY(edit->Valid());
  }

  void IntegerBoundsAreTruncated() {
    auto* integer = new TINumEdit(form_.get());
    auto* real = new TRNumEdit(form_.get());
    for (TGenericNumEdit* edit : std::initializer_list<TGenericNumEdit*>{integer, real}) {
      edit->SetValueMax(10);
      edit->SetValueMin(1.9);
      edit->setText(QStringLiteral("1"));
    }
    QCOMPARE(integer->ValueMin(), 1.0);
    QVERIFY(integer->Valid());
    QCOMPARE(real->ValueMin(), 1.9);
    QVERIFY(!real->Valid());
    integer->SetValueMin(-1.9);
    QCOMPARE(integer->ValueMin(), -1.0);
    integer->SetValueMax(7.99);
    QCOMPARE(integer->ValueMax(), 7.0);
  }

  void SettingValueWritesTheText() {
    auto* integer = new TINumEdit(form_.get());
    integer->SetValueMin(1);
    integer->SetValueMax(50);
    integer->SetValue(8);
    QCOMPARE(integer->text(), QStringLiteral("8"));
    QVERIFY(integer->Valid());
    integer->SetValue(60);
    QCOMPARE(integer->Value(), 60);
    QVERIFY(!integer->Valid());

    auto* real = new TRNumEdit(form_.get());
    real->SetValueCheck(TValueCheck::vcNone);
    real->SetValue(1.5e-7);
    QCOMPARE(real->text(), QStringLiteral("1.5E-7"));
    QCOMPARE(real->Value(), 1.5e-7);
    real->SetValue(2.5);
    QCOMPARE(real->text(), QStringLiteral("2.5"));
    QCOMPARE(real->IntValue(), 2);
  }

  void HintTellsTheRange_data() {
    QTest::addColumn<bool>("integer");
    QTest::addColumn<TValueCheck>("check");
    QTest::addColumn<TMessageLanguage>("language");
    QTest::addColumn<QString>("hint");
    const auto en = TMessageLanguage::English;
    const auto ru = TMessageLanguage::Russian;
    QTest::newRow("integer both") << true << TValueCheck::vcBoth << en
                                  << "1 <= Sensible value (integer) <= 50";
    QTest::newRow("integer any") << true << TValueCheck::vcNone << en
                                 << "Sensible value (integer) - any.";
    QTest::newRow("real min") << false << TValueCheck::vcMin << en << "1 <= Sensible value";
    QTest::newRow("real max") << false << TValueCheck::vcMax << en << "Sensible value <= 50";
    QTest::newRow("russian both") << true << TValueCheck::vcBoth << ru
                                  << "1 <= Допустимая величина (целое) <= 50";
    QTest::newRow("russian any") << true << TValueCheck::vcNone << ru
                                 << "Допустимая величина (целое) - любая.";
    QTest::newRow("russian real") << false << TValueCheck::vcNone << ru
                                  << "Допустимая величина - любая.";
  }
  void HintTellsTheRange() {
    QFETCH(bool, integer);
    QFETCH(TValueCheck, check);
    QFETCH(TMessageLanguage, language);
    QFETCH(QString, hint);
    SetMessageLanguage(language);
    TGenericNumEdit* edit = integer ? static_cast<TGenericNumEdit*>(new TINumEdit(form_.get()))
                                    : new TRNumEdit(form_.get());
    edit->SetValueMin(1);
    edit->SetValueMax(50);
    edit->SetValueCheck(check);
    QCOMPARE(edit->toolTip(), hint);
  }

  void RealBoundsInTheHintUseFormatReal() {
    auto* edit = new TRNumEdit(form_.get());
    edit->SetValueMin(-0.00001);
    edit->SetValueMax(2.5e20);
    QCOMPARE(edit->toolTip(), QStringLiteral("-1E-5 <= Sensible value <= 2.5E20"));
  }

  void EqualColoursLeaveTheHintAlone() {
    auto* edit = new TINumEdit(form_.get());
    edit->setToolTip(QStringLiteral("own hint"));
    edit->SetColorError(edit->ColorUsual());
    edit->SetValueMax(50);
    edit->setText(QStringLiteral("60"));
    QCOMPARE(edit->toolTip(), QStringLiteral("own hint"));
    QVERIFY(!edit->Valid());
  }

  void InvalidEditKeepsTheFocus() {
    auto* first = new TINumEdit(form_.get());
    auto* second = new TINumEdit(form_.get());
    first->move(10, 10);
    second->move(10, 50);
    for (TINumEdit* e : {first, second}) {
      e->SetValueMax(50);
      e->SetValue(5);
    }
    ShowAndWait(*form_);
    second->setFocus();
    QCOMPARE(form_->focusWidget(), second);
    first->setText(QStringLiteral("99"));
    QCOMPARE(form_->focusWidget(), first);
    // A hidden or disabled edit does not grab the focus.
    second->setFocus();
    first->setEnabled(false);
    first->setText(QStringLiteral("98"));
    QCOMPARE(form_->focusWidget(), second);
  }

  void CaptionLabelPlacement_data() {
    QTest::addColumn<QRect>("control");
    QTest::addColumn<QSize>("label");
    QTest::addColumn<TCaptionPosition>("position");
    QTest::addColumn<QRect>("expected");
    const QRect control(100, 50, 40, 21);
    const QSize label(30, 13);
    QTest::newRow("left") << control << label << TCaptionPosition::cpLeft << QRect(67, 54, 30, 13);
    QTest::newRow("right") << control << label << TCaptionPosition::cpRight
                           << QRect(143, 54, 30, 13);
    QTest::newRow("top") << control << label << TCaptionPosition::cpTop << QRect(105, 34, 30, 13);
    QTest::newRow("bottom") << control << label << TCaptionPosition::cpBottom
                            << QRect(105, 74, 30, 13);
    QTest::newRow("left clipped at 0")
        << QRect(2, 9, 24, 21) << QSize(40, 13) << TCaptionPosition::cpLeft << QRect(0, 13, 40, 13);
    QTest::newRow("top clipped at 0")
        << QRect(10, 5, 40, 21) << label << TCaptionPosition::cpTop << QRect(15, 0, 30, 13);
    // (21 - 24) / 2 and (24 - 41) / 2 round toward zero.
    QTest::newRow("odd wider label") << QRect(200, 10, 24, 21) << QSize(41, 24)
                                     << TCaptionPosition::cpBottom << QRect(192, 34, 41, 24);
  }
  void CaptionLabelPlacement() {
    QFETCH(QRect, control);
    QFETCH(QSize, label);
    QFETCH(TCaptionPosition, position);
    QFETCH(QRect, expected);
    QCOMPARE(PlaceCaptionLabel(control, label, position), expected);
  }

  void CaptionLabelStandsBesideTheControl_data() {
    QTest::addColumn<TCaptionPosition>("position");
    QTest::newRow("left") << TCaptionPosition::cpLeft;
    QTest::newRow("right") << TCaptionPosition::cpRight;
    QTest::newRow("top") << TCaptionPosition::cpTop;
    QTest::newRow("bottom") << TCaptionPosition::cpBottom;
  }
  void CaptionLabelStandsBesideTheControl() {
    QFETCH(TCaptionPosition, position);
    auto* edit = new TINumEdit(form_.get());
    edit->move(150, 100);
    edit->SetCaption(QStringLiteral("Число параметров"));
    edit->SetCaptionPosition(position);
    ShowAndWait(*form_);
    QLabel* label = edit->CaptionLabel();
    QVERIFY(label != nullptr);
    QCOMPARE(label->parentWidget(), form_.get());
    QCOMPARE(label->text(), QStringLiteral("Число параметров"));
    QVERIFY(label->isVisible());
    const QFontMetrics metrics(label->font());
    const QSize size(metrics.horizontalAdvance(label->text()), metrics.height());
    QCOMPARE(label->geometry(), PlaceCaptionLabel(edit->geometry(), size, position));
    // The label follows the control.
    edit->move(200, 120);
    QCOMPARE(edit->CaptionLabel()->geometry(), PlaceCaptionLabel(edit->geometry(), size, position));
  }

  void LeftLabelAtTheEdgeStandsAtZero() {
    auto* edit = new TINumEdit(form_.get());
    edit->move(2, 9);
    edit->SetCaption(QStringLiteral("Время (сек.) : "));
    QCOMPARE(edit->CaptionLabel()->x(), 0);
  }

  void CaptionIsGoneWithCpNone() {
    auto* edit = new TINumEdit(form_.get());
    edit->SetCaption(QStringLiteral("abc"));
    QCOMPARE(edit->Caption(), QStringLiteral("abc"));
    edit->SetCaptionPosition(TCaptionPosition::cpNone);
    QVERIFY(edit->CaptionLabel() == nullptr);
    QCOMPARE(edit->Caption(), QString());
    edit->SetCaption(QStringLiteral("lost"));
    QCOMPARE(edit->Caption(), QString());
    edit->SetCaptionPosition(TCaptionPosition::cpRight);
    QVERIFY(edit->CaptionLabel() != nullptr);
    QCOMPARE(edit->Caption(), QString());
  }

  void EditPlacedByALayoutHasNoCaption() {
    auto* layout = new QHBoxLayout(form_.get());
    auto* edit = new TINumEdit(form_.get());
    layout->addWidget(edit);
    edit->SetCaption(QStringLiteral("abc"));
    edit->SetCaptionPosition(TCaptionPosition::cpRight);
    QCOMPARE(edit->CaptionPosition(), TCaptionPosition::cpNone);
    QVERIFY(edit->CaptionLabel() == nullptr);
  }

  void LabelFollowsVisibilityEnabledStateAndClicks() {
    auto* edit = new TRNumEdit(form_.get());
    edit->move(100, 100);
    edit->SetValueMax(10);
    edit->SetValue(3);
    edit->SetCaption(QStringLiteral("x"));
    ShowAndWait(*form_);
    QLabel* label = edit->CaptionLabel();
    QCOMPARE(label->toolTip(), edit->toolTip());
    edit->hide();
    QVERIFY(!label->isVisible());
    edit->show();
    QVERIFY(label->isVisible());
    edit->setEnabled(false);
    QVERIFY(!label->isEnabled());
    edit->setEnabled(true);
    QVERIFY(label->isEnabled());
    QObject* sender = nullptr;
    int clicks = 0;
    edit->SetOnClick([&](QObject* s) {
      sender = s;
      ++clicks;
    });
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(clicks, 1);
    QCOMPARE(sender, edit);
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(clicks, 2);
  }

  void LabelDiesWithTheControl() {
    auto* edit = new TINumEdit(form_.get());
    edit->SetCaption(QStringLiteral("x"));
    QPointer<QLabel> label = edit->CaptionLabel();
    delete edit;
    QVERIFY(label.isNull());
  }

  // Enter walks the numeric edits of the control's parent, nested panels
  // included, skipping plain edits, disabled edits and edits that are no
  // tab stops, and wraps round.
  void EnterMovesToTheNextNumericEdit() {
    QDialog dialog;
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    int accepted = 0;
    connect(&dialog, &QDialog::accepted, [&] { ++accepted; });
    auto* first = new TINumEdit(&dialog);
    auto* plain = new QLineEdit(&dialog);
    auto* panel = new QFrame(&dialog);
    auto* second = new TRNumEdit(panel);
    auto* nested = new QFrame(panel);
    auto* third = new TINumEdit(nested);
    auto* disabled = new TINumEdit(&dialog);
    auto* noTabStop = new TINumEdit(&dialog);
    disabled->setEnabled(false);
    noTabStop->setFocusPolicy(Qt::ClickFocus);
    for (TGenericNumEdit* e :
         std::initializer_list<TGenericNumEdit*>{first, second, third, disabled, noTabStop}) {
      e->SetValueCheck(TValueCheck::vcNone);
    }
    plain->move(0, 30);
    panel->setGeometry(0, 60, 200, 100);
    nested->setGeometry(0, 40, 200, 50);
    ShowAndWait(dialog);
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Return);
    QCOMPARE(dialog.focusWidget(), second);  // inside the panel
    QTest::keyClick(second, Qt::Key_Enter);
    QCOMPARE(dialog.focusWidget(), third);  // inside the nested panel
    QTest::keyClick(third, Qt::Key_Return);
    QCOMPARE(dialog.focusWidget(), third);  // alone in its panel
    QTest::keyClick(second, Qt::Key_Return);
    QTest::keyClick(third, Qt::Key_Return);
    // From the form's last tab stop back to its first.
    noTabStop->setFocusPolicy(Qt::StrongFocus);
    noTabStop->setFocus();
    QTest::keyClick(noTabStop, Qt::Key_Return);
    QCOMPARE(dialog.focusWidget(), first);
    QCOMPARE(accepted, 0);
    QVERIFY(dialog.isVisible());
    // Other keys still type.
    QTest::keyClicks(first, QStringLiteral("42"));
    QVERIFY(first->text().contains(QStringLiteral("42")));
  }

  // A form with every kind of control, valid and invalid, for a reviewer.
  void ScreenshotOfASampleForm() {
    QWidget form;
    form.setWindowTitle(QStringLiteral("Numeric edits"));
    form.resize(420, 210);
    auto* params = new TINumEdit(&form);
    params->setGeometry(10, 10, 40, params->height());
    params->SetCaption(QStringLiteral("Число параметров"));
    params->SetCaptionPosition(TCaptionPosition::cpRight);
    params->SetValueMin(1);
    params->SetValueMax(50);
    params->SetValue(8);
    auto* tooMany = new TINumEdit(&form);
    tooMany->move(10, 45);
    tooMany->SetCaption(QStringLiteral("60 of 1..50 (invalid)"));
    tooMany->SetCaptionPosition(TCaptionPosition::cpRight);
    tooMany->SetValueMin(1);
    tooMany->SetValueMax(50);
    tooMany->SetValue(60);
    auto* time = new TINumEdit(&form);
    time->setGeometry(300, 10, 59, time->height());
    time->SetCaption(QStringLiteral("Время (сек.) : "));
    time->SetValueCheck(TValueCheck::vcNone);
    time->SetValue(0);
    auto* real = new TRNumEdit(&form);
    real->move(40, 110);
    real->SetCaption(QStringLiteral("real 2,5 (top)"));
    real->SetCaptionPosition(TCaptionPosition::cpTop);
    real->SetValueCheck(TValueCheck::vcNone);
    real->setText(QStringLiteral("2,5"));
    auto* badReal = new TRNumEdit(&form);
    badReal->move(200, 110);
    badReal->SetCaption(QStringLiteral("1.5e (bottom, invalid)"));
    badReal->SetCaptionPosition(TCaptionPosition::cpBottom);
    badReal->SetValueCheck(TValueCheck::vcNone);
    badReal->setText(QStringLiteral("1.5e"));
    ShowAndWait(form);
    QVERIFY(params->Valid() && time->Valid() && real->Valid());
    QVERIFY(!tooMany->Valid() && !badReal->Valid());
    const QImage image = form.grab().toImage();
    QCOMPARE(image.pixelColor(tooMany->geometry().center() + QPoint(12, 0)), QColor(255, 0, 0));
    QVERIFY(image.save(QStringLiteral(SCREENSHOT_DIR "/numeric-edits.png")));
  }
};

QTEST_MAIN(NumEditTest)
#include "NumEditTest.moc"
