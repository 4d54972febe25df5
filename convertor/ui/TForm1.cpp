#include "TForm1.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStackedLayout>
#include <QStatusBar>

#include "FrontEndRuns.h"
#include "LineListModel.h"
#include "QtUserInterface.h"
#include "RegularFile.h"
#include "WindowOptions.h"
#include "Windows1251.h"
#include "driver/ConversionRun.h"
#include "driver/InsertedLines.h"
#include "engine/TextUtilities.h"

namespace kvq {

const char* const kHelpText[22] = {
    "<Start> menu item  contains 2 submenus",
    "",
    "<Single Source> - convert the single text file after set <Options>",
    "            Source and Destination Files will be asked in  dialog.",
    "<Whole Project> - convert the whole Fortran Project (.dsp or .dsw)",
    "           The result will be written in a separate SubDirectory.",
    "",
    "<Option> menu item contains a number of SubMenus :",
    "",
    "<Consoles> submenu item - provides a way to specify variables or numbers",
    "used to  designate console I/O.    For example:     *,5,6,in,inout",
    "Default =  *,5,6",
    "",
    "<Redirect \"Read\">  submenu item provides a way to specify logical unit number where "
    "console \"read\" will be redirect from.",
    "<Redirect \"Write\">  submenu item provides a way to specify logical unit number where "
    "console \"write\" will be redirect to.",
    "",
    "<DLL Name>  submenu item  used only if the main file is converted.",
    "Main file must contain \"PROGRAM\", which'll be changed to <DLL Name>",
    "and added by special Header.",
    "",
    "<Create Project> submenu item  used for autocreating Compaq Fortran WorkSpace",
    "consist of single source file just converted.",
};

namespace {

constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;
constexpr int kStatusBarHeight = 19;
constexpr std::size_t kUnitLength = 4;
constexpr int kListBatchSize = 2000;
constexpr int kDiagnosticRows = 5;
constexpr int kProgressWidth = 120;
// A line looked up for a diagnostic is read from a file of at most this size.
constexpr std::size_t kMaxShownFileBytes = std::size_t{64} << 20;

// The default list without the commas that frame it inside a run.
std::string DefaultConsoleUnitsAsTyped() {
  std::string_view units = kDefaultConsoleUnits;
  return std::string(units.substr(1, units.size() - 2));
}

QString HelpText() {
  QStringList lines;
  for (const char* line : kHelpText) lines << QString::fromLatin1(line);
  return lines.join(QLatin1Char('\n'));
}

QString Caption() {
  return QString::fromLatin1(kConvertorVersion.data(),
                             static_cast<qsizetype>(kConvertorVersion.size()));
}

// A panel that holds one list box filling it.
QWidget* ListPanel(const char* panelName, QListView* list, QWidget* parent) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(QString::fromLatin1(panelName));
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list);
  return panel;
}

QListView* ListBox(const char* name, LineListModel* model) {
  auto* list = new QListView;
  list->setObjectName(QString::fromLatin1(name));
  // Rows of one height let the view skip measuring each of many lines.
  list->setUniformItemSizes(true);
  // Long lists are laid out a batch at a time between events, so a run
  // that adds many lines is not held up by the view.
  list->setLayoutMode(QListView::Batched);
  list->setBatchSize(kListBatchSize);
  list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setModel(model);
  return list;
}

}  // namespace

TForm1::TForm1(ProgramState& state, QWidget* parent) : QMainWindow(parent), state_(state) {
  setObjectName(QStringLiteral("Form1"));
  CreateComponents();
  CreateMenus();
  ui_ = std::make_unique<QtUserInterface>(
      WindowParts{this, statusText_, inputModel_, outputModel_, ListBox1, ListBox2, ProgressBar1});
  generate_ = [this](const std::string& outputPath) {
    return GenerateProjectFiles(state_, *ui_, *ui_, outputPath);
  };
  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::CreateComponents() {
  resize(kWindowWidth, kWindowHeight);
  auto* client = new QWidget(this);
  clientStack_ = new QStackedLayout(client);
  clientStack_->setStackingMode(QStackedLayout::StackAll);

  inputModel_ = new LineListModel(this);
  outputModel_ = new LineListModel(this);
  ListBox1 = ListBox("ListBox1", inputModel_);
  ListBox2 = ListBox("ListBox2", outputModel_);
  Panel0 = new QWidget(client);
  Panel0->setObjectName(QStringLiteral("Panel0"));
  auto* column = new QVBoxLayout(Panel0);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* panels = new QHBoxLayout;
  panels->setSpacing(0);
  Panel1 = ListPanel("Panel1", ListBox1, Panel0);
  Panel2 = ListPanel("Panel2", ListBox2, Panel0);
  panels->addWidget(Panel1);
  panels->addWidget(Panel2, 1);
  column->addLayout(panels, 1);
  CreateDiagnosticList();
  column->addWidget(DiagnosticList);

  Memo1 = new QPlainTextEdit(client);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Memo1->setPlainText(HelpText());
  Memo1->installEventFilter(this);

  clientStack_->addWidget(Panel0);
  clientStack_->addWidget(Memo1);
  setCentralWidget(client);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(kStatusBarHeight);
  StatusBar1->setSizeGripEnabled(false);
  statusText_ = new QLabel(StatusBar1);
  StatusBar1->addWidget(statusText_, 1);
  // Busy while a run goes: the status text counts the lines read.
  ProgressBar1 = new QProgressBar(StatusBar1);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 0);
  ProgressBar1->setFixedWidth(kProgressWidth);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();
  StatusBar1->addPermanentWidget(ProgressBar1);
  setStatusBar(StatusBar1);
}

// The diagnostics of the last run, FILE:LINE and text; hidden while there
// are none. A double-click shows the line.
void TForm1::CreateDiagnosticList() {
  DiagnosticList = new QListWidget(Panel0);
  DiagnosticList->setObjectName(QStringLiteral("DiagnosticList"));
  DiagnosticList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  DiagnosticList->setFixedHeight(DiagnosticList->fontMetrics().height() * kDiagnosticRows +
                                 2 * DiagnosticList->frameWidth() + 4);
  DiagnosticList->hide();
  connect(DiagnosticList, &QListWidget::itemDoubleClicked, this, &TForm1::DiagnosticDoubleClick);
}

QAction* TForm1::AddItem(QMenu* menu, const char* name, const QString& caption, int tag,
                         void (TForm1::*handler)(QAction*)) {
  auto* item = new QAction(caption, this);
  item->setObjectName(QString::fromLatin1(name));
  item->setData(tag);
  menu->addAction(item);
  if (handler)
    connect(item, &QAction::triggered, this, [this, item, handler] { (this->*handler)(item); });
  return item;
}

void TForm1::CreateMenus() {
  MainMenu1 = menuBar();
  MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

  mnuStartt = MainMenu1->addMenu(QStringLiteral("Start"));
  mnuStartt->setObjectName(QStringLiteral("mnuStartt"));
  mnuSingleSource = AddItem(mnuStartt, "mnuSingleSource", QStringLiteral("Single Source"), 0,
                            &TForm1::mnuStarttClick);
  SingleforMPI1 = AddItem(mnuStartt, "SingleforMPI1", QStringLiteral("Single for MPI"), 0,
                          &TForm1::mnuStarttClick);
  WholeProject1 = AddItem(mnuStartt, "WholeProject1", QStringLiteral("Whole Project"), 0,
                          &TForm1::WholeProject1Click);
  ConsoleApplication1 =
      AddItem(mnuStartt, "ConsoleApplication1", QStringLiteral("Console Application"), 1,
              &TForm1::WholeProject1Click);

  mnuOption = MainMenu1->addMenu(QStringLiteral("Option"));
  mnuOption->setObjectName(QStringLiteral("mnuOption"));
  mnuConsoles = AddItem(mnuOption, "mnuConsoles", QStringLiteral("Consoles..."), 0, nullptr);
  mnuName = AddItem(mnuOption, "mnuName", QStringLiteral("DLL Name..."), 0, nullptr);
  mnuCreateProject = AddItem(mnuOption, "mnuCreateProject", QStringLiteral("Create Project"), 0,
                             &TForm1::CheckedItemClick);
  mnuInsertSave = AddItem(mnuOption, "mnuInsertSave", QStringLiteral("Insert   \"SAVE\""), 0,
                          &TForm1::CheckedItemClick);
  mnuInsertTrace = AddItem(mnuOption, "mnuInsertTrace", QStringLiteral("Insert   \"Trace\""), 0,
                           &TForm1::CheckedItemClick);
  RedirectRead1 = AddItem(mnuOption, "RedirectRead1", QStringLiteral("Redirect    \"Read\"..."), 0,
                          &TForm1::RedirectClick);
  RedirectWrite1 = AddItem(mnuOption, "RedirectWrite1", QStringLiteral("Redirect    \"Write\"..."),
                           1, &TForm1::RedirectClick);
  mnuAcceptLf =
      AddItem(mnuOption, "mnuAcceptLf", QStringLiteral("Accept LF Line Ends"), 0, nullptr);
  for (QAction* item : {mnuCreateProject, mnuInsertSave, mnuInsertTrace, mnuAcceptLf})
    item->setCheckable(true);
  mnuInsertSave->setChecked(true);

  mnuHelp = new QAction(QStringLiteral("Help"), this);
  mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
  MainMenu1->addAction(mnuHelp);
  mnuClose = new QAction(QStringLiteral("Close"), this);
  mnuClose->setObjectName(QStringLiteral("mnuClose"));
  MainMenu1->addAction(mnuClose);
  mnuStop = new QAction(QStringLiteral("Stop"), this);
  mnuStop->setObjectName(QStringLiteral("mnuStop"));
  mnuStop->setEnabled(false);
  MainMenu1->addAction(mnuStop);

  connect(mnuConsoles, &QAction::triggered, this, &TForm1::mnuConsolesClick);
  connect(mnuName, &QAction::triggered, this, &TForm1::mnuNameClick);
  connect(mnuHelp, &QAction::triggered, this, &TForm1::mnuHelpClick);
  connect(mnuClose, &QAction::triggered, this, &TForm1::mnuCloseClick);
  connect(mnuStop, &QAction::triggered, this, &TForm1::mnuStopClick);
  connect(mnuAcceptLf, &QAction::triggered, this, &TForm1::AcceptLfClick);
}

// ---------------------------------------------------------------------------
// The window

void TForm1::FormCreate() {
  setWindowTitle(Caption());
  setVisible(!state_.batchMode);
  if (state_.batchMode) return;
  if (QScreen* shown = screen()) move(shown->availableGeometry().center() - rect().center());
  FormResize();
  BringHelpToFront();
  state_.checks.insertSave = state_.settings.insertSave;
  state_.checks.insertTrace = state_.settings.insertTrace;
  LoadWindowOptions(state_);
  mnuCreateProject->setChecked(state_.checks.createProject);
  mnuInsertSave->setChecked(state_.checks.insertSave);
  mnuInsertTrace->setChecked(state_.checks.insertTrace);
  mnuAcceptLf->setChecked(state_.settings.acceptLineFeeds);
}

void TForm1::FormResize() {
  Panel1->setFixedWidth(width() / 2);
}

// Esc ends a running conversion; otherwise it shows the list boxes.
void TForm1::FormKeyDown(int key) {
  if (key != Qt::Key_Escape) return;
  if (ui_->Running())
    ui_->RequestCancel();
  else
    SendHelpBehind();
}

// A window closed while a run goes ends the run first; it closes when the
// run is over.
void TForm1::closeEvent(QCloseEvent* event) {
  if (!ui_->Running()) return QMainWindow::closeEvent(event);
  ui_->RequestCancel();
  closeAfterRun_ = true;
  event->ignore();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  FormKeyDown(event->key());
  QMainWindow::keyPressEvent(event);
}

// The help text sees the key first, as a form that previews its keys.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Memo1 && event->type() == QEvent::KeyPress)
    FormKeyDown(static_cast<QKeyEvent*>(event)->key());
  return QMainWindow::eventFilter(watched, event);
}

bool TForm1::HelpInFront() const {
  return clientStack_->currentWidget() == Memo1;
}

void TForm1::BringHelpToFront() {
  clientStack_->setCurrentWidget(Memo1);
}

void TForm1::SendHelpBehind() {
  clientStack_->setCurrentWidget(Panel0);
}

UserInterface& TForm1::Interface() {
  return *ui_;
}

RunObserver& TForm1::Observer() {
  return *ui_;
}

QString TForm1::StatusText() const {
  return statusText_->text();
}

// ---------------------------------------------------------------------------
// The commands

void TForm1::BeginRun() {
  for (QMenu* menu : {mnuStartt, mnuOption}) menu->setEnabled(false);
  mnuStop->setEnabled(true);
  ui_->BeginRun();
}

void TForm1::EndRun() {
  ui_->EndRun();
  mnuStop->setEnabled(false);
  for (QMenu* menu : {mnuStartt, mnuOption}) menu->setEnabled(true);
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    close();
  }
}

void TForm1::mnuStarttClick(QAction* item) {
  SendHelpBehind();
  ConversionMode mode =
      item == SingleforMPI1 ? ConversionMode::SingleForMpi : ConversionMode::SingleSource;
  BeginRun();
  RunReport report = ConvertSingleSource(state_, *ui_, *ui_, mode, generate_);
  EndRun();
  ShowReport(report);
}

void TForm1::WholeProject1Click(QAction* item) {
  BringHelpToFront();
  ConversionMode mode = item == ConsoleApplication1 ? ConversionMode::ConsoleApplication
                                                    : ConversionMode::WholeProject;
  BeginRun();
  RunReport report = ConvertWholeProject(state_, *ui_, *ui_, mode, std::string(), generate_);
  EndRun();
  ShowReport(report);
}

void TForm1::mnuStopClick() {
  ui_->RequestCancel();
}

// A failed run says so on the status line, with the reason (the message box
// has gone by then); a cancelled dialog leaves everything as it was.
void TForm1::ShowReport(const RunReport& report) {
  if (report.outcome == RunOutcome::Cancelled && report.shownSource.empty()) return;
  ShowDiagnostics(report);
  if (report.sourceConverted) return;  // the status line has the run's counts
  switch (report.outcome) {
    case RunOutcome::Converted:
    case RunOutcome::Cancelled:
    case RunOutcome::NeedsFileNames:
      return;
    case RunOutcome::Abandoned:
    case RunOutcome::NotAvailable:
    case RunOutcome::Refused:
      break;
  }
  std::string reason = report.message;
  if (reason.empty() && !report.diagnostics.empty()) reason = report.diagnostics.back().text;
  if (std::size_t end = reason.find_first_of("\r\n"); end != std::string::npos) reason.resize(end);
  std::string where = report.shownSource.empty() ? std::string() : report.shownSource + "    ";
  ui_->SetStatusLine(where + " - failed: " + (reason.empty() ? "see the messages" : reason));
}

void TForm1::ShowDiagnostics(const RunReport& report) {
  diagnostics_ = report.diagnostics;
  givenSource_ = report.givenSource;
  DiagnosticList->clear();
  for (const Diagnostic& diagnostic : diagnostics_)
    DiagnosticList->addItem(QString::fromLocal8Bit(FormatDiagnostic(diagnostic)));
  for (int i = 0; i < DiagnosticList->count(); ++i)
    DiagnosticList->item(i)->setToolTip(DiagnosticList->item(i)->text());
  DiagnosticList->setVisible(!diagnostics_.empty());
}

QStringList TForm1::DiagnosticLines() const {
  QStringList lines;
  for (int i = 0; i < DiagnosticList->count(); ++i) lines << DiagnosticList->item(i)->text();
  return lines;
}

namespace {

// Line `line` (1-based) of a file, without its line end; empty when the
// file cannot be read or is shorter.
std::string FileLine(const std::string& path, int line) {
  std::optional<std::string> bytes = ReadRegularFile(path, kMaxShownFileBytes);
  if (!bytes || line < 1) return {};
  std::size_t start = 0;
  for (int i = 1; i < line; ++i) {
    start = bytes->find('\n', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  std::size_t end = bytes->find('\n', start);
  std::string text = bytes->substr(start, end == std::string::npos ? end : end - start);
  if (text.ends_with('\r')) text.pop_back();
  return text;
}

}  // namespace

// The main source's line is selected in the left list box; a line of
// another file (an INCLUDE file) is shown in a message box.
void TForm1::DiagnosticDoubleClick(QListWidgetItem* item) {
  int row = DiagnosticList->row(item);
  if (row < 0 || static_cast<std::size_t>(row) >= diagnostics_.size()) return;
  const Diagnostic& diagnostic = diagnostics_[static_cast<std::size_t>(row)];
  if (diagnostic.line < 1) return;
  if (diagnostic.file == givenSource_ && diagnostic.line <= ListBox1->model()->rowCount()) {
    SendHelpBehind();
    QModelIndex index = ListBox1->model()->index(diagnostic.line - 1, 0);
    ListBox1->setCurrentIndex(index);
    ListBox1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    ListBox1->setFocus();
    return;
  }
  ui_->ShowMessage(diagnostic.file + ":" + std::to_string(diagnostic.line) + "\r" +
                   FileLine(diagnostic.file, diagnostic.line));
}

void TForm1::mnuHelpClick() {
  BringHelpToFront();
}

// Qt has already toggled the check mark of the clicked item; the runs read
// the states from here.
void TForm1::CheckedItemClick(QAction* item) {
  TakeCheckStates();
  const char* name = item == mnuCreateProject ? window_option::kCreateProject
                     : item == mnuInsertSave  ? window_option::kInsertSave
                                              : window_option::kInsertTrace;
  SaveWindowOption(name, item->isChecked());
}

// Sources with bare line feeds (written on Linux) are converted as those
// with CR LF; the output keeps CR LF.
void TForm1::AcceptLfClick() {
  state_.settings.acceptLineFeeds = mnuAcceptLf->isChecked();
  SaveWindowOption(window_option::kAcceptLineFeeds, state_.settings.acceptLineFeeds);
}

void TForm1::TakeCheckStates() {
  state_.checks.createProject = mnuCreateProject->isChecked();
  state_.checks.insertSave = mnuInsertSave->isChecked();
  state_.checks.insertTrace = mnuInsertTrace->isChecked();
}

std::string TForm1::InputOption(const QString& caption, const QString& prompt,
                                const std::string& value) {
  return ui_->InputQuery(EncodeWindows1251(caption), EncodeWindows1251(prompt), value, {});
}

// The list as the user typed it; the runs take it as UNITS= would.
void TForm1::mnuConsolesClick() {
  std::string shown = state_.consoleUnits;
  if (shown.empty()) shown = DefaultConsoleUnitsAsTyped();
  std::string typed = InputOption(QStringLiteral("Enter list of console units"), QString(), shown);
  TrimTrailingBlanks(typed);
  if (typed == shown) return;
  state_.consoleUnits = typed;
  SaveWindowOption(window_option::kConsoleUnits, QByteArray::fromStdString(typed));
}

// An empty name is asked for when a main program is met; any other must be
// a Fortran name.
void TForm1::mnuNameClick() {
  std::string name = state_.settings.dllName;
  for (;;) {
    name = InputOption(QStringLiteral("Enter DLL Name"),
                       QStringLiteral("Needed only for main file"), name);
    std::string problem = name.empty() ? std::string() : DllNameProblem(name);
    if (problem.empty()) break;
    ui_->ShowMessage(problem);
    name = state_.settings.dllName;
  }
  state_.settings.dllName = name;
}

void TForm1::RedirectClick(QAction* item) {
  bool write = item->data().toInt() == 1;
  std::string& unit = state_.carry.Of(write ? IoDirection::Write : IoDirection::Read).unit;
  std::string answer =
      InputOption(item->text(), QStringLiteral("Logical Unit Number needed"), unit);
  unit = answer.substr(0, std::min(answer.size(), kUnitLength));
  SaveWindowOption(write ? window_option::kRedirectWrite : window_option::kRedirectRead,
                   QByteArray::fromStdString(unit));
}

void TForm1::mnuCloseClick() {
  close();
}

}  // namespace kvq
