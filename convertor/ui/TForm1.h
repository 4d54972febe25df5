// The main window of Convertor: the Start and Option menus, the help text
// in front of the two list boxes (lines read, lines written), the
// diagnostics of the last run under them, the status line. Each command
// builds its request from the program's state (FrontEndRuns), the runs
// report back through QtUserInterface, and the window shows the report.
#pragma once

#include <QMainWindow>
#include <memory>

#include "ProgramState.h"
#include "driver/ConversionRequest.h"
#include "driver/SingleSourceCommand.h"

class QAction;
class QLabel;
class QListView;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QMenu;
class QPlainTextEdit;
class QStackedLayout;
class QStatusBar;

namespace kvq {

class LineListModel;
class QtUserInterface;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // The program state lives as long as the program, beyond the window.
  explicit TForm1(ProgramState& state, QWidget* parent = nullptr);
  ~TForm1() override;

  // The help text is in front of the list boxes.
  bool HelpInFront() const;
  UserInterface& Interface();
  RunObserver& Observer();
  QString StatusText() const;
  const LineListModel& InputModel() const { return *inputModel_; }
  const LineListModel& OutputModel() const { return *outputModel_; }

  // Handlers, named after the component and the event.
  void FormCreate();
  void FormResize();
  void FormKeyDown(int key);
  void mnuStarttClick(QAction* item);
  void WholeProject1Click(QAction* item);
  void mnuHelpClick();
  void CheckedItemClick(QAction* item);
  void mnuConsolesClick();
  void mnuNameClick();
  void RedirectClick(QAction* item);
  void mnuCloseClick();
  void mnuStopClick();
  void AcceptLfClick();
  void DiagnosticDoubleClick(QListWidgetItem* item);

  // Lines of the last run's diagnostics, as the pane shows them.
  QStringList DiagnosticLines() const;

  // Components.
  QMenuBar* MainMenu1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QWidget* Panel0 = nullptr;
  QWidget* Panel1 = nullptr;
  QListView* ListBox1 = nullptr;
  QWidget* Panel2 = nullptr;
  QListView* ListBox2 = nullptr;
  QListWidget* DiagnosticList = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QMenu* mnuStartt = nullptr;
  QAction* mnuSingleSource = nullptr;
  QAction* SingleforMPI1 = nullptr;
  QAction* WholeProject1 = nullptr;
  QAction* ConsoleApplication1 = nullptr;
  QMenu* mnuOption = nullptr;
  QAction* mnuConsoles = nullptr;
  QAction* mnuName = nullptr;
  QAction* mnuCreateProject = nullptr;
  QAction* mnuInsertSave = nullptr;
  QAction* mnuInsertTrace = nullptr;
  QAction* RedirectRead1 = nullptr;
  QAction* RedirectWrite1 = nullptr;
  QAction* mnuAcceptLf = nullptr;
  QAction* mnuStop = nullptr;
  QAction* mnuHelp = nullptr;
  QAction* mnuClose = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateComponents();
  void CreateMenus();
  void CreateDiagnosticList();
  QAction* AddItem(QMenu* menu, const char* name, const QString& caption, int tag,
                   void (TForm1::*handler)(QAction*));
  void SendHelpBehind();
  void BringHelpToFront();
  void TakeCheckStates();
  std::string InputOption(const QString& caption, const QString& prompt, const std::string& value);
  // A command runs: the Start and Option menus wait, Stop and Esc end it.
  void BeginRun();
  void EndRun();
  // What the window shows of a report: the status line of a failed run
  // and the diagnostics.
  void ShowReport(const RunReport& report);
  void ShowDiagnostics(const RunReport& report);

  ProgramState& state_;
  QStackedLayout* clientStack_ = nullptr;
  QLabel* statusText_ = nullptr;
  LineListModel* inputModel_ = nullptr;
  LineListModel* outputModel_ = nullptr;
  std::unique_ptr<QtUserInterface> ui_;
  // Create Project: the generator after a converted source.
  ProjectGeneration generate_;
  // The diagnostics shown, and the main source they may name.
  std::vector<Diagnostic> diagnostics_;
  std::string givenSource_;
  // Closed while a run went: closes when the run is over.
  bool closeAfterRun_ = false;
};

// The help text of Memo1, one entry per line.
extern const char* const kHelpText[22];

}  // namespace kvq
