// The converter's window under the offscreen platform, driven as a user
// drives it: menu items are triggered, the dialogs they open are answered
// by a script, and what the window shows is read back from its widgets.
#include <QAction>
#include <QFile>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <memory>

#include "DialogScript.h"
#include "LineListModel.h"
#include "TForm1.h"
#include "WindowDialogs.h"
#include "Windows1251.h"

namespace kvq {
namespace {

using test::Cancel;
using test::ChooseFile;
using test::DialogScript;
using test::EnterText;
using test::PressOk;
using test::SaveScreenshot;

const QString kCaption = QStringLiteral("KVQ : Fortran to Fortran Convertor. Vers:25/12/2004.");

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QList<QByteArray> CrLfLines(const QByteArray& bytes) {
  QList<QByteArray> lines = bytes.split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  for (QByteArray& line : lines)
    if (line.endsWith('\r')) line.chop(1);
  return lines;
}

QByteArray JoinCrLf(const QList<QByteArray>& lines) {
  return lines.join("\r\n") + "\r\n";
}

// A main program with a comment in the users' code page ("Привет").
const QList<QByteArray> kHelloSource = {"      PROGRAM HELLO", "C     \xCF\xF0\xE8\xE2\xE5\xF2",
                                        "      WRITE(*,*) 'HELLO'", "      STOP", "      END"};

void CopyTree(const QString& from, const QString& to) {
  std::filesystem::copy(from.toStdString(), to.toStdString(),
                        std::filesystem::copy_options::recursive);
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void opensWithHelpText();
  void menuItemsAsDesigned();
  void escapeAndHelp();
  void resizeSplitsListBoxes();
  void checkItemsToggle();
  void inputDialogs_data();
  void inputDialogs();
  void dllNameMustBeAFortranName();
  void singleSourceRun();
  void singleForMpiRun();
  void cancelledSourceDialogDoesNothing();
  void convertedSourceAskedAgain();
  void failingRunShowsMessage();
  void lineFeedsRefusedThenAccepted();
  void diagnosticsShownAndFollowed();
  void consolesReachTheRunAndOptionsAreRemembered();
  void destinationReplacedOnlyWhenConfirmed();
  void escapeStopsTheRunAndKeepsTheDestination_data();
  void escapeStopsTheRunAndKeepsTheDestination();
  void twoRunsStartFromSameSettings();
  void wholeProject();
  void consoleApplicationThenSingleSource();
  void cancelledProjectDialogDoesNothing();
  void createProjectAfterRun();
  void closeEndsWindow();
  void batchModeKeepsWindowHidden();
  void windows1251Decoding();
  void windows1251Encoding();
  void nameFilters();

 private:
  // Converts `source` through the Single Source (or other) command with the
  // dialogs answered; the DLL name is asked only when `dllName` is given.
  void RunSingleSource(QAction* item, const QString& source, const QString& destination,
                       const QString& dllName = {});
  bool ListBoxesInFront();

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<ProgramState> state_;
  std::unique_ptr<TForm1> form_;
};

void WindowTest::init() {
  // Every case starts from the options of a first start.
  QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("KVQ"),
            QStringLiteral("Convertor"))
      .clear();
  dir_ = std::make_unique<QTemporaryDir>();
  QVERIFY(dir_->isValid());
  QVERIFY(QDir::setCurrent(dir_->path()));
  state_ = std::make_unique<ProgramState>();
  form_ = std::make_unique<TForm1>(*state_);
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void WindowTest::cleanup() {
  form_.reset();
  state_.reset();
  QDir::setCurrent(QDir::tempPath());
  dir_.reset();
}

bool WindowTest::ListBoxesInFront() {
  QWidget* client = form_->centralWidget();
  QWidget* top = client->childAt(client->rect().center());
  return top && form_->Panel0->isAncestorOf(top);
}

void WindowTest::RunSingleSource(QAction* item, const QString& source, const QString& destination,
                                 const QString& dllName) {
  DialogScript script;
  script.Then(ChooseFile(source));
  script.Then(ChooseFile(destination));
  if (!dllName.isEmpty()) script.Then(EnterText(dllName));
  item->trigger();
  QCOMPARE(script.StepsLeft(), std::size_t(0));
  QCOMPARE(script.Unexpected(), QStringList());
}

void WindowTest::opensWithHelpText() {
  TForm1& form = *form_;
  QCOMPARE(form.windowTitle(), kCaption);
  QVERIFY(form.isVisible());
  QCOMPARE(form.size(), QSize(640, 480));
  QPoint centre = form.screen()->availableGeometry().center();
  QVERIFY2((form.frameGeometry().center() - centre).manhattanLength() <= 4,
           qPrintable(QStringLiteral("%1,%2 against %3,%4")
                          .arg(form.frameGeometry().center().x())
                          .arg(form.frameGeometry().center().y())
                          .arg(centre.x())
                          .arg(centre.y())));
  QCOMPARE(form.StatusBar1->height(), 19);
  QVERIFY(form.HelpInFront());
  QVERIFY(!ListBoxesInFront());

  QFile expected(QStringLiteral(WINDOW_TEST_DATA "/HelpText.txt"));
  QVERIFY(expected.open(QIODevice::ReadOnly));
  QList<QByteArray> lines = expected.readAll().split('\n');
  lines.removeLast();  // the file's final line end
  QCOMPARE(lines.size(), 22);
  QCOMPARE(form.Memo1->toPlainText(), QString::fromLatin1(lines.join('\n')));
  SaveScreenshot(&form, QStringLiteral("window-help"));
}

void WindowTest::menuItemsAsDesigned() {
  TForm1& form = *form_;
  QList<QAction*> top = form.MainMenu1->actions();
  QCOMPARE(top.size(), 5);
  QCOMPARE(top[0]->menu(), form.mnuStartt);
  QCOMPARE(top[1]->menu(), form.mnuOption);
  QCOMPARE(top[2], form.mnuHelp);
  QCOMPARE(top[3], form.mnuClose);
  QCOMPARE(top[4], form.mnuStop);
  QVERIFY(!form.mnuStop->isEnabled());  // until a conversion runs
  QCOMPARE(form.mnuStartt->title(), QStringLiteral("Start"));
  QCOMPARE(form.mnuOption->title(), QStringLiteral("Option"));
  QCOMPARE(form.mnuHelp->text(), QStringLiteral("Help"));
  QCOMPARE(form.mnuClose->text(), QStringLiteral("Close"));

  struct Item {
    const char* name;
    QString caption;
    int tag;
    bool checkable;
    bool checked;
  };
  const Item start[] = {{"mnuSingleSource", "Single Source", 0, false, false},
                        {"SingleforMPI1", "Single for MPI", 0, false, false},
                        {"WholeProject1", "Whole Project", 0, false, false},
                        {"ConsoleApplication1", "Console Application", 1, false, false}};
  const Item option[] = {{"mnuConsoles", "Consoles...", 0, false, false},
                         {"mnuName", "DLL Name...", 0, false, false},
                         {"mnuCreateProject", "Create Project", 0, true, false},
                         {"mnuInsertSave", "Insert   \"SAVE\"", 0, true, true},
                         {"mnuInsertTrace", "Insert   \"Trace\"", 0, true, false},
                         {"RedirectRead1", "Redirect    \"Read\"...", 0, false, false},
                         {"RedirectWrite1", "Redirect    \"Write\"...", 1, false, false},
                         {"mnuAcceptLf", "Accept LF Line Ends", 0, true, false}};
  auto check = [&](QMenu* menu, const Item* items, int count) {
    QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), count);
    for (int i = 0; i < count; ++i) {
      QCOMPARE(actions[i]->objectName(), QString::fromLatin1(items[i].name));
      QCOMPARE(actions[i]->text(), items[i].caption);
      QCOMPARE(actions[i]->data().toInt(), items[i].tag);
      QCOMPARE(actions[i]->isCheckable(), items[i].checkable);
      QCOMPARE(actions[i]->isChecked(), items[i].checked);
    }
  };
  check(form.mnuStartt, start, 4);
  check(form.mnuOption, option, 8);
  form.mnuOption->popup(form.mapToGlobal(QPoint(40, 0)));
  QVERIFY(QTest::qWaitForWindowExposed(form.mnuOption));
  SaveScreenshot(form.mnuOption, QStringLiteral("menu-option"));
  form.mnuOption->hide();
}

void WindowTest::escapeAndHelp() {
  TForm1& form = *form_;
  QTest::keyClick(form.Memo1, Qt::Key_Escape);
  QVERIFY(!form.HelpInFront());
  QVERIFY(ListBoxesInFront());
  form.mnuHelp->trigger();
  QVERIFY(form.HelpInFront());
  QVERIFY(!ListBoxesInFront());
  QTest::keyClick(&form, Qt::Key_A);
  QVERIFY(form.HelpInFront());
  QTest::keyClick(&form, Qt::Key_Escape);
  QVERIFY(ListBoxesInFront());
}

void WindowTest::resizeSplitsListBoxes() {
  TForm1& form = *form_;
  QCOMPARE(form.Panel1->width(), 320);
  form.resize(801, 480);
  QTRY_COMPARE(form.Panel1->width(), 400);
  QTRY_COMPARE(form.Panel2->width(), 401);
}

void WindowTest::checkItemsToggle() {
  TForm1& form = *form_;
  form.mnuCreateProject->trigger();
  form.mnuInsertSave->trigger();
  form.mnuInsertTrace->trigger();
  QVERIFY(form.mnuCreateProject->isChecked() && state_->checks.createProject);
  QVERIFY(!form.mnuInsertSave->isChecked() && !state_->checks.insertSave);
  QVERIFY(form.mnuInsertTrace->isChecked() && state_->checks.insertTrace);
  form.mnuInsertSave->trigger();
  form.mnuInsertTrace->trigger();
  QVERIFY(form.mnuInsertSave->isChecked() && state_->checks.insertSave);
  QVERIFY(!form.mnuInsertTrace->isChecked() && !state_->checks.insertTrace);
}

enum class Field { ConsoleUnits, DllName, ReadUnit, WriteUnit };

static std::string& FieldOf(ProgramState& state, Field field) {
  switch (field) {
    case Field::ConsoleUnits:
      return state.consoleUnits;
    case Field::DllName:
      return state.settings.dllName;
    case Field::ReadUnit:
      return state.carry.read.unit;
    case Field::WriteUnit:
      return state.carry.write.unit;
  }
  return state.settings.dllName;
}

void WindowTest::inputDialogs_data() {
  QTest::addColumn<QString>("item");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("prompt");
  QTest::addColumn<int>("field");
  QTest::addColumn<QString>("initial");
  QTest::addColumn<QString>("answer");
  QTest::addColumn<QByteArray>("stored");
  QTest::newRow("consoles") << "mnuConsoles"
                            << "Enter list of console units"
                            << "" << int(Field::ConsoleUnits) << "*,5,6,DEBUG"
                            << "*,5,6,IN" << QByteArray("*,5,6,IN");
  QTest::newRow("dll-name") << "mnuName"
                            << "Enter DLL Name"
                            << "Needed only for main file" << int(Field::DllName) << ""
                            << "Test_1" << QByteArray("Test_1");
  QTest::newRow("redirect-read") << "RedirectRead1"
                                 << "Redirect    \"Read\"..."
                                 << "Logical Unit Number needed" << int(Field::ReadUnit) << "91"
                                 << "12345" << QByteArray("1234");
  QTest::newRow("redirect-write") << "RedirectWrite1"
                                  << "Redirect    \"Write\"..."
                                  << "Logical Unit Number needed" << int(Field::WriteUnit) << "92"
                                  << "7" << QByteArray("7");
}

void WindowTest::inputDialogs() {
  QFETCH(QString, item);
  QFETCH(QString, caption);
  QFETCH(QString, prompt);
  QFETCH(int, field);
  QFETCH(QString, initial);
  QFETCH(QString, answer);
  QFETCH(QByteArray, stored);
  auto* action = form_->findChild<QAction*>(item);
  QVERIFY(action);
  std::string& value = FieldOf(*state_, Field(field));
  const std::string before = value;

  QString seenInitial, seenPrompt;
  {
    DialogScript script;
    script.Then([&](QWidget* dialog) {
      seenInitial = static_cast<QInputDialog*>(dialog)->textValue();
      seenPrompt = static_cast<QInputDialog*>(dialog)->labelText();
      SaveScreenshot(dialog,
                     QStringLiteral("dialog-") + QString::fromLatin1(QTest::currentDataTag()));
      static_cast<QInputDialog*>(dialog)->setTextValue(QStringLiteral("changed, then cancelled"));
      static_cast<QDialog*>(dialog)->reject();
    });
    action->trigger();
    QCOMPARE(script.Titles(), QStringList{caption});
    QCOMPARE(script.StepsLeft(), std::size_t(0));
  }
  QCOMPARE(seenInitial, initial);
  QCOMPARE(seenPrompt, prompt);
  QCOMPARE(value, before);  // Cancel changes nothing

  {
    DialogScript script;
    script.Then(EnterText(answer));
    action->trigger();
    QCOMPARE(script.StepsLeft(), std::size_t(0));
  }
  QCOMPARE(QByteArray::fromStdString(value), stored);
  // The dialogs edit the values only; redirection stays as it was.
  QVERIFY(!state_->carry.read.redirected);
  QVERIFY(!state_->carry.write.redirected);
}

// The entry routine's name: a name the compiler does not take is refused
// and asked for again; Cancel then keeps the name as it was.
void WindowTest::dllNameMustBeAFortranName() {
  state_->settings.dllName = "OLD";
  QString refusal, offered;
  DialogScript script;
  script.Then(EnterText(QString::fromUtf8("Тест1")));
  script.Then(PressOk(&refusal, nullptr, QStringLiteral("dialog-dll-name-refused")));
  script.Then(EnterText(QStringLiteral("my-prog"), &offered));
  script.Then(PressOk(nullptr));
  script.Then(Cancel());
  form_->mnuName->trigger();
  QCOMPARE(script.StepsLeft(), std::size_t(0));
  QCOMPARE(script.Unexpected(), QStringList());
  // The refusal quotes the name as typed, Cyrillic letters included.
  QVERIFY2(refusal.startsWith(QString::fromUtf8("\"Тест1\" is no Fortran name")),
           qPrintable(refusal));
  QCOMPARE(offered, QStringLiteral("OLD"));
  QCOMPARE(QString::fromStdString(state_->settings.dllName), QStringLiteral("OLD"));
}

void WindowTest::singleSourceRun() {
  TForm1& form = *form_;
  QString source = dir_->filePath(QStringLiteral("HELLO.FOR"));
  QString destination = dir_->filePath(QStringLiteral("OUT.FOR"));
  WriteBytes(source, JoinCrLf(kHelloSource));

  QString openName, saveName, proposed, openTitle, dllPrompt, dllOffered;
  QStringList filters;
  bool hourglass = false;
  QString captionAtSave;
  DialogScript script;
  script.Then([&](QWidget* dialog) {
    openTitle = dialog->windowTitle();
    ChooseFile(source, &openName, &filters, nullptr, QStringLiteral("dialog-open-source"))(dialog);
  });
  script.Then([&](QWidget* dialog) {
    captionAtSave = form.windowTitle();
    ChooseFile(destination, &saveName, nullptr, &proposed,
               QStringLiteral("dialog-save-destination"))(dialog);
  });
  script.Then([&](QWidget* dialog) {
    hourglass =
        QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    EnterText(QStringLiteral("hello"), &dllOffered, &dllPrompt,
              QStringLiteral("dialog-dll-name-in-run"))(dialog);
  });
  form.mnuSingleSource->trigger();
  QCOMPARE(script.StepsLeft(), std::size_t(0));
  QCOMPARE(script.Unexpected(), QStringList());

  QCOMPARE(openTitle, QStringLiteral("KVQ :  Select Source file"));
  QCOMPARE(script.Titles().value(1), QStringLiteral("KVQ :  Specify Destination file"));
  QCOMPARE(script.Titles().value(2), QStringLiteral("Enter DLL Name"));
  QCOMPARE(dllPrompt, QStringLiteral("Needed only for main file"));
  QCOMPARE(dllOffered, QStringLiteral("HELLO"));  // the main program's name
  QCOMPARE(openName, QStringLiteral("OpenDialog1"));
  QCOMPARE(saveName, QStringLiteral("SaveDialog1"));
  QCOMPARE(filters, (QStringList{"Fortran Sources(*.for;*.f;*.f90) (*.for *.f *.f90)",
                                 "Special Sources(*.src;*.srt) (*.src *.srt)", "Any file (*.*)"}));
  QCOMPARE(captionAtSave, kCaption + "   " + source.toUpper());
  // The proposed destination: the source with the extension .F.
  QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("HELLO.F"));
  QVERIFY(hourglass);
  QVERIFY(!QApplication::overrideCursor());

  QCOMPARE(form.windowTitle(),
           kCaption + "   " + source.toUpper() + " -> " + destination.toUpper());
  QVERIFY(ListBoxesInFront());

  // Left: the source as read; right: the output as written.
  const LineListModel& input = form.InputModel();
  QCOMPARE(form.ListBox1->model()->rowCount(), kHelloSource.size());
  for (int i = 0; i < kHelloSource.size(); ++i)
    QCOMPARE(QByteArray(input.Line(i).data(), input.Line(i).size()), kHelloSource[i]);
  QCOMPARE(form.ListBox1->model()->index(1, 0).data().toString(),
           QString::fromUtf8("C     Привет"));

  QList<QByteArray> written = CrLfLines(ReadBytes(destination));
  QVERIFY(written.size() > 20);
  QCOMPARE(written.first(), QByteArray("!KVQ:NO_TOUCH!"));
  QVERIFY(written.contains("      SUBROUTINE HELLO(job)        !  main DLL routine"));
  QCOMPARE(form.ListBox2->model()->rowCount(), written.size());
  for (int i = 0; i < written.size(); ++i)
    QCOMPARE(QByteArray(form.OutputModel().Line(i).data(), form.OutputModel().Line(i).size()),
             written[i]);
  QCOMPARE(form.ListBox2->model()->index(0, 0).data().toString(), QStringLiteral("!KVQ:NO_TOUCH!"));
  QVERIFY(form.ListBox2->model()
              ->match(form.ListBox2->model()->index(0, 0), Qt::DisplayRole,
                      QString::fromUtf8("!     Привет"), 1, Qt::MatchExactly)
              .size() == 1);

  QCOMPARE(form.StatusText(), source.toUpper() + "    Input Lines:4     Output Lines:" +
                                  QString::number(written.size()) + "     - ready !");
  SaveScreenshot(&form, QStringLiteral("window-after-run"));
}

void WindowTest::singleForMpiRun() {
  QString source = dir_->filePath(QStringLiteral("HELLO.FOR"));
  QString destination = dir_->filePath(QStringLiteral("MPI.FOR"));
  WriteBytes(source, JoinCrLf(kHelloSource));
  RunSingleSource(form_->SingleforMPI1, source, destination);  // no DLL name is asked
  QList<QByteArray> written = CrLfLines(ReadBytes(destination));
  QVERIFY(written.contains("      Program MPI"));
  QVERIFY(written.contains("      Subroutine User_Main       ! main User Routine"));
  QVERIFY(!written.contains("      use Zentrix     ! KVQ"));
  QCOMPARE(form_->ListBox2->model()->rowCount(), written.size());
}

void WindowTest::cancelledSourceDialogDoesNothing() {
  {
    DialogScript script;
    script.Then(Cancel());
    form_->mnuSingleSource->trigger();
    QCOMPARE(script.Unexpected(), QStringList());
  }
  QCOMPARE(form_->windowTitle(), kCaption);
  QCOMPARE(form_->StatusText(), QString());
  QCOMPARE(form_->ListBox1->model()->rowCount(), 0);
  QVERIFY(!QApplication::overrideCursor());

  // Cancelling the destination dialog ends the run as well.
  QString source = dir_->filePath(QStringLiteral("HELLO.FOR"));
  WriteBytes(source, JoinCrLf(kHelloSource));
  DialogScript second;
  second.Then(ChooseFile(source));
  second.Then(Cancel());
  form_->mnuSingleSource->trigger();
  QCOMPARE(second.Unexpected(), QStringList());
  QCOMPARE(second.StepsLeft(), std::size_t(0));
  QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"HELLO.FOR"});
  QCOMPARE(form_->StatusText(), QString());
}

void WindowTest::convertedSourceAskedAgain() {
  QDir(dir_->path()).mkdir(QStringLiteral("Converted_P"));
  QString converted = dir_->filePath(QStringLiteral("Converted_P/A.FOR"));
  WriteBytes(converted, JoinCrLf(kHelloSource));
  QString message, directoryShown;
  int buttons = 0;
  DialogScript script;
  script.Then(ChooseFile(converted));
  script.Then(PressOk(&message, &buttons, QStringLiteral("message-converted-yet")));
  script.Then([&](QWidget* dialog) {
    directoryShown = static_cast<QFileDialog*>(dialog)->directory().absolutePath();
    static_cast<QDialog*>(dialog)->reject();
  });
  form_->mnuSingleSource->trigger();
  QCOMPARE(script.StepsLeft(), std::size_t(0));
  QCOMPARE(script.Unexpected(), QStringList());
  QCOMPARE(message, converted.toUpper() + "  is converted yet !");
  QCOMPARE(buttons, 1);
  QCOMPARE(QDir(directoryShown).canonicalPath(), QDir(dir_->path()).canonicalPath());
}

void WindowTest::failingRunShowsMessage() {
  QString source = dir_->filePath(QStringLiteral("UNIX.FOR"));
  WriteBytes(source, "      PROGRAM U\n      END\n");
  QString message;
  int buttons = 0;
  DialogScript script;
  script.Then(ChooseFile(source));
  script.Then(ChooseFile(dir_->filePath(QStringLiteral("UNIX.F"))));
  script.Then(PressOk(&message, &buttons, QStringLiteral("message-failed-run")));
  form_->mnuSingleSource->trigger();
  QCOMPARE(script.StepsLeft(), std::size_t(0));
  QCOMPARE(script.Unexpected(), QStringList());
  QCOMPARE(message, QStringLiteral("Cannot convert UNIX-style text!"));
  QCOMPARE(buttons, 1);
  QVERIFY(!QApplication::overrideCursor());
}

// A source written on Linux: refused with the way to accept it, on the
// status line and in the diagnostics; accepted once the option is checked.
void WindowTest::lineFeedsRefusedThenAccepted() {
  QString source = dir_->filePath(QStringLiteral("UNIX.FOR"));
  QString destination = dir_->filePath(QStringLiteral("UNIX.F"));
  WriteBytes(source, "      SUBROUTINE U\n      X = 1\n      END\n");
  {
    DialogScript script;
    script.Then(ChooseFile(source));
    script.Then(ChooseFile(destination));
    script.Then(PressOk(nullptr));
    form_->mnuSingleSource->trigger();
    QCOMPARE(script.StepsLeft(), std::size_t(0));
  }
  QVERIFY2(
      form_->StatusText().contains(QStringLiteral(" - failed: Cannot convert UNIX-style text!")),
      qPrintable(form_->StatusText()));
  QVERIFY(form_->DiagnosticList->isVisible());
  QCOMPARE(form_->DiagnosticLines(),
           QStringList{source + ":1: error: the source ends lines with bare line feeds (LF); "
                                "convert it with Option > Accept LF Line Ends (checked)"});
  SaveScreenshot(form_.get(), QStringLiteral("window-lf-refused"));
  QVERIFY(!QFile::exists(destination));

  form_->mnuAcceptLf->trigger();
  RunSingleSource(form_->mnuSingleSource, source, destination);
  QVERIFY(form_->StatusText().endsWith(QStringLiteral(" - ready !")));
  QVERIFY(!form_->DiagnosticList->isVisible());
  QList<QByteArray> written = CrLfLines(ReadBytes(destination));
  QCOMPARE(written.value(0), QByteArray("!KVQ:NO_TOUCH!"));
  QVERIFY(written.contains("      SUBROUTINE U"));
  QVERIFY(ReadBytes(destination).contains("      X = 1\r\n"));  // CR LF written
}

// FILE:LINE and text under the lists; a double-click selects the line in
// the source list, or shows an INCLUDE file's line.
void WindowTest::diagnosticsShownAndFollowed() {
  QString source = dir_->filePath(QStringLiteral("WARN.FOR"));
  WriteBytes(source, JoinCrLf({"      SUBROUTINE W", "      X = 1", "      INCLUDE 'NOPE.INC'",
                               "      END"}));
  RunSingleSource(form_->mnuSingleSource, source, dir_->filePath(QStringLiteral("WARN.F")));
  QVERIFY(form_->StatusText().endsWith(QStringLiteral(" - ready !")));
  QStringList lines = form_->DiagnosticLines();
  QCOMPARE(lines.size(), 1);
  QVERIFY2(lines[0].startsWith(source + ":3: "), qPrintable(lines[0]));
  QVERIFY(lines[0].contains(QStringLiteral("NOPE.INC")));
  QVERIFY(form_->DiagnosticList->isVisible());
  SaveScreenshot(form_.get(), QStringLiteral("window-diagnostics"));

  QListWidgetItem* item = form_->DiagnosticList->item(0);
  QRect place = form_->DiagnosticList->visualItemRect(item);
  QTest::mouseClick(form_->DiagnosticList->viewport(), Qt::LeftButton, {}, place.center());
  QTest::mouseDClick(form_->DiagnosticList->viewport(), Qt::LeftButton, {}, place.center());
  QCOMPARE(form_->ListBox1->currentIndex().row(), 2);
  QCOMPARE(form_->ListBox1->currentIndex().data().toString(),
           QStringLiteral("      INCLUDE 'NOPE.INC'"));
  SaveScreenshot(form_.get(), QStringLiteral("window-diagnostic-followed"));
}

// Option > Consoles takes effect as typed; the options set survive the
// window (a new one starts with them).
void WindowTest::consolesReachTheRunAndOptionsAreRemembered() {
  {
    DialogScript script;
    script.Then(EnterText(QStringLiteral("*,5,6,IN")));
    form_->mnuConsoles->trigger();
    QCOMPARE(script.StepsLeft(), std::size_t(0));
  }
  QString source = dir_->filePath(QStringLiteral("S.FOR"));
  WriteBytes(source, JoinCrLf({"      SUBROUTINE S", "      WRITE(IN,*) 'A'", "      END"}));
  QString destination = dir_->filePath(QStringLiteral("S.F"));
  RunSingleSource(form_->mnuSingleSource, source, destination);
  QByteArray written = ReadBytes(destination);
  QVERIFY2(written.contains("      Call zx_NewRecord(IN)\r\n"), written.constData());
  form_->mnuInsertTrace->trigger();
  form_->mnuAcceptLf->trigger();

  ProgramState fresh;
  TForm1 again(fresh);
  QVERIFY(again.mnuInsertTrace->isChecked());
  QVERIFY(again.mnuAcceptLf->isChecked());
  QVERIFY(again.mnuInsertSave->isChecked());
  QString offered;
  DialogScript script;
  script.Then(EnterText(QStringLiteral("*,5,6,IN"), &offered, nullptr,
                        QStringLiteral("dialog-consoles-remembered")));
  again.mnuConsoles->trigger();
  QCOMPARE(offered, QStringLiteral("*,5,6,IN"));
}

// An existing destination is replaced only after a question, which warns
// when the file is no converter output; No asks for another name.
void WindowTest::destinationReplacedOnlyWhenConfirmed() {
  QString source = dir_->filePath(QStringLiteral("S.FOR"));
  WriteBytes(source, JoinCrLf({"      SUBROUTINE S", "      END"}));
  QString mine = dir_->filePath(QStringLiteral("MINE.FOR"));
  const QByteArray mineBytes = JoinCrLf({"      SUBROUTINE MINE", "      END"});
  WriteBytes(mine, mineBytes);
  QString warning, question;
  {
    DialogScript script;
    script.Then(ChooseFile(source));
    script.Then(ChooseFile(mine));
    script.Then([&](QWidget* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      QVERIFY(box);
      warning = box->text();
      QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
      SaveScreenshot(box, QStringLiteral("dialog-replace-no-output"));
      box->button(QMessageBox::No)->click();
    });
    script.Then(Cancel());  // the destination is asked for again
    form_->mnuSingleSource->trigger();
    QCOMPARE(script.StepsLeft(), std::size_t(0));
    QCOMPARE(script.Unexpected(), QStringList());
  }
  QVERIFY2(warning.contains(QStringLiteral("is no output of the converter")), qPrintable(warning));
  QCOMPARE(ReadBytes(mine), mineBytes);

  QString output = dir_->filePath(QStringLiteral("S.F"));
  RunSingleSource(form_->mnuSingleSource, source, output);
  QByteArray first = ReadBytes(output);
  WriteBytes(source, JoinCrLf({"      SUBROUTINE T", "      END"}));
  DialogScript script;
  script.Then(ChooseFile(source));
  script.Then(ChooseFile(output));
  script.Then([&](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    QVERIFY(box);
    question = box->text();
    box->button(QMessageBox::Yes)->click();
  });
  form_->mnuSingleSource->trigger();
  QCOMPARE(script.StepsLeft(), std::size_t(0));
  QVERIFY2(question.contains(QStringLiteral("already exists")), qPrintable(question));
  QVERIFY(ReadBytes(output) != first);
  QVERIFY(ReadBytes(output).contains("      SUBROUTINE T\r\n"));
}

void WindowTest::escapeStopsTheRunAndKeepsTheDestination_data() {
  QTest::addColumn<QString>("way");
  QTest::newRow("escape") << "escape";
  QTest::newRow("stop") << "stop";
  QTest::newRow("close") << "close";  // the window closes once the run has ended
}

// Esc, Stop or Close while a long run goes ends it: the destination stays
// as it was, the status line says so, and the menus come back.
void WindowTest::escapeStopsTheRunAndKeepsTheDestination() {
  QFETCH(QString, way);
  QList<QByteArray> lines{"      PROGRAM LONG"};
  for (int i = 0; i < 5000; ++i) lines << "      X = " + QByteArray::number(i);
  lines << "      END";
  QString source = dir_->filePath(QStringLiteral("LONG.FOR"));
  WriteBytes(source, JoinCrLf(lines));
  QString destination = dir_->filePath(QStringLiteral("LONG.F"));
  const QByteArray earlier = JoinCrLf({"!KVQ:NO_TOUCH!", "      END"});
  WriteBytes(destination, earlier);

  bool stopEnabled = false, startEnabled = true, progressShown = false;
  DialogScript script;
  script.Then(ChooseFile(source));
  script.Then(ChooseFile(destination));
  script.Then([](QWidget* dialog) {
    qobject_cast<QMessageBox*>(dialog)->button(QMessageBox::Yes)->click();
  });
  script.Then([&](QWidget* dialog) {
    stopEnabled = form_->mnuStop->isEnabled();
    startEnabled = form_->mnuStartt->isEnabled();
    progressShown = form_->ProgressBar1->isVisible();
    SaveScreenshot(form_.get(), QStringLiteral("window-during-run"));
    // The window gets it once the run goes on after the question.
    if (way == "escape")
      QCoreApplication::postEvent(form_.get(),
                                  new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    else if (way == "stop")
      QMetaObject::invokeMethod(form_->mnuStop, &QAction::trigger, Qt::QueuedConnection);
    else
      QMetaObject::invokeMethod(form_.get(), &QWidget::close, Qt::QueuedConnection);
    EnterText(QStringLiteral("LONG"))(dialog);
  });
  form_->mnuSingleSource->trigger();
  QCOMPARE(script.StepsLeft(), std::size_t(0));
  QCOMPARE(script.Unexpected(), QStringList());
  QVERIFY(stopEnabled && !startEnabled && progressShown);
  QVERIFY2(form_->StatusText().endsWith(QStringLiteral(" - cancelled !")),
           qPrintable(form_->StatusText()));
  QCOMPARE(ReadBytes(destination), earlier);
  QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden),
           (QStringList{"LONG.F", "LONG.FOR"}));
  QVERIFY(!form_->mnuStop->isEnabled() && form_->mnuStartt->isEnabled());
  QVERIFY(!form_->ProgressBar1->isVisible());
  QCOMPARE(form_->isVisible(), way != "close");
  if (way == "escape") SaveScreenshot(form_.get(), QStringLiteral("window-run-stopped"));
}

// A directive in the first run's source must not reach the second run.
void WindowTest::twoRunsStartFromSameSettings() {
  QString source = dir_->filePath(QStringLiteral("S.FOR"));
  WriteBytes(source, JoinCrLf({"      SUBROUTINE S", "      WRITE(IN,*) 'A'", "!KVQ:CONSOLE IN",
                               "      WRITE(IN,*) 'B'", "      END"}));
  QString first = dir_->filePath(QStringLiteral("FIRST.F"));
  QString second = dir_->filePath(QStringLiteral("SECOND.F"));
  RunSingleSource(form_->mnuSingleSource, source, first);
  RunSingleSource(form_->mnuSingleSource, source, second);
  QByteArray firstBytes = ReadBytes(first);
  QVERIFY(firstBytes.contains("      WRITE(IN,*) 'A'\r\n"));  // not yet a console unit
  QVERIFY(firstBytes.contains("!Converted: "));
  QCOMPARE(ReadBytes(second), firstBytes);
}

void WindowTest::wholeProject() {
  CopyTree(QStringLiteral(GOLDEN_CASES_DIR "/proj-library-workspace/in"), dir_->path() + "/p");
  QString message, title;
  QStringList filters;
  DialogScript script;
  script.Then([&](QWidget* dialog) {
    title = dialog->windowTitle();
    ChooseFile(dir_->filePath(QStringLiteral("p/CALC.dsp")), nullptr, &filters, nullptr,
               QStringLiteral("dialog-project"))(dialog);
  });
  bool helpDuringConversion = false;
  script.Then([&](QWidget* dialog) {
    helpDuringConversion = form_->HelpInFront();
    PressOk(&message, nullptr, QStringLiteral("message-project-converted"))(dialog);
  });
  QTest::keyClick(form_->Memo1, Qt::Key_Escape);
  form_->WholeProject1->trigger();
  QVERIFY(helpDuringConversion);
  QCOMPARE(script.StepsLeft(), std::size_t(0));
  QCOMPARE(title, QStringLiteral("KVQ :  Select Source Project"));
  QCOMPARE(filters, QStringList{"Fortran Project(*.dsp;*.dsw) (*.dsp *.dsw)"});
  QVERIFY2(message.startsWith("The converted project \"CALC\"\nYou can see in a directory\n"),
           qPrintable(message));
  QVERIFY(message.endsWith("/p/Converted_CALC/"));
  QVERIFY(!state_->settings.consoleMain);
  QCOMPARE(form_->ListBox1->model()->rowCount(), 0);

  // The same files as the command-line conversion of the project.
  QDir expected(QStringLiteral(GOLDEN_CASES_DIR "/proj-library-workspace/expect/Converted_CALC"));
  QStringList names = expected.entryList(QDir::Files);
  QCOMPARE(QDir(dir_->path() + "/p/Converted_CALC").entryList(QDir::Files), names);
  for (const QString& name : names)
    QCOMPARE(ReadBytes(dir_->path() + "/p/Converted_CALC/" + name),
             ReadBytes(expected.filePath(name)));
}

// The edge case of the options: after a Console Application conversion a
// single source still gets the console main program.
void WindowTest::consoleApplicationThenSingleSource() {
  CopyTree(QStringLiteral(GOLDEN_CASES_DIR "/proj-library-workspace/in"), dir_->path() + "/p");
  {
    DialogScript script;
    script.Then(ChooseFile(dir_->filePath(QStringLiteral("p/CALC.dsw"))));
    script.Then(PressOk(nullptr));
    form_->ConsoleApplication1->trigger();
    QCOMPARE(script.StepsLeft(), std::size_t(0));
  }
  QVERIFY(state_->settings.consoleMain);
  QByteArray project = ReadBytes(dir_->path() + "/p/Converted_CALC/CALC.dsp");
  QVERIFY(project.contains("# TARGTYPE \"Win32 (x86) Console Application\" 0x0103"));
  QVERIFY(project.contains("/subsystem:console"));
  QCOMPARE(state_->settings.dllName, std::string("CALC"));

  QString source = dir_->filePath(QStringLiteral("HELLO.FOR"));
  QString destination = dir_->filePath(QStringLiteral("HELLO.F"));
  WriteBytes(source, JoinCrLf(kHelloSource));
  RunSingleSource(form_->mnuSingleSource, source, destination);
  QVERIFY(CrLfLines(ReadBytes(destination))
              .contains("      Program CALC         !  Console Application for Debugging"));
}

void WindowTest::cancelledProjectDialogDoesNothing() {
  QTest::keyClick(form_->Memo1, Qt::Key_Escape);
  DialogScript script;
  script.Then(Cancel());
  form_->WholeProject1->trigger();
  QCOMPARE(script.StepsLeft(), std::size_t(0));
  QCOMPARE(script.Unexpected(), QStringList());
  QVERIFY(form_->HelpInFront());
  QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// Create Project hands the converted file to the project generator, whose
// report ends the output list; without a template it says so.
void WindowTest::createProjectAfterRun() {
  form_->mnuCreateProject->trigger();
  QString source = dir_->filePath(QStringLiteral("HELLO.FOR"));
  WriteBytes(source, JoinCrLf(kHelloSource));
  QString message;
  DialogScript script;
  script.Then(ChooseFile(source));
  script.Then(ChooseFile(dir_->filePath(QStringLiteral("HELLO.F"))));
  script.Then(EnterText(QStringLiteral("HELLO")));
  script.Then(PressOk(&message));
  form_->mnuSingleSource->trigger();
  QCOMPARE(script.StepsLeft(), std::size_t(0));
  QCOMPARE(script.Unexpected(), QStringList());
  QCOMPARE(message, QStringLiteral("No template for Project!"));
  QVERIFY(form_->StatusText().endsWith(" - ready !"));
}

void WindowTest::closeEndsWindow() {
  form_->mnuClose->trigger();
  QTRY_VERIFY(!form_->isVisible());
}

void WindowTest::batchModeKeepsWindowHidden() {
  ProgramState batch;
  batch.batchMode = true;
  TForm1 hidden(batch);
  QCOMPARE(hidden.windowTitle(), kCaption);
  QVERIFY(!hidden.isVisible());
}

void WindowTest::windows1251Decoding() {
  QCOMPARE(DecodeWindows1251("\xC0\xDF\xE0\xFF"), QString::fromUtf8("АЯая"));
  QCOMPARE(DecodeWindows1251("\xA8\xB8\xB9\x88\x96\xA0"), QString::fromUtf8("Ёё№€–\u00A0"));
  QCOMPARE(DecodeWindows1251("\x80\x81\x8A\x9A\xAA\xBA\xAF\xBF\xB2\xB3\xA5\xB4"),
           QString::fromUtf8("ЂЃЉљЄєЇїІіҐґ"));
  QCOMPARE(DecodeWindows1251("\x98"), QString(QChar(0xFFFD)));
  QCOMPARE(DecodeWindows1251(std::string_view("A\0B", 3)).size(), 3);
}

void WindowTest::windows1251Encoding() {
  for (int byte = 0; byte < 256; ++byte) {
    if (byte == 0x98) continue;
    std::string one(1, static_cast<char>(byte));
    QCOMPARE(EncodeWindows1251(DecodeWindows1251(one)), one);
  }
  QCOMPARE(EncodeWindows1251(QString::fromUtf8("äЖ\uFFFD")), std::string("?\xC6?"));
}

void WindowTest::nameFilters() {
  QCOMPARE(QtNameFilters("Fortran Project(*.dsp;*.dsw)|*.dsp;*.dsw"),
           QStringList{"Fortran Project(*.dsp;*.dsw) (*.dsp *.dsw)"});
  QCOMPARE(QtNameFilters(""), QStringList());
  QCOMPARE(QtNameFilters("Odd|"), QStringList{"Odd ()"});
}

}  // namespace kvq

QTEST_MAIN(kvq::WindowTest)
#include "WindowTest.moc"
