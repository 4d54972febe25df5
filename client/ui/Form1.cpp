#include "Form1.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPointer>
#include <QVBoxLayout>
#include <QValueAxis>

#include "ServerMessages.h"
#include "TestFunction.h"

namespace kvq {

namespace {

QPointer<TComputationalServerBase> serverComponent;

const QString kParameterLine = QStringLiteral("Possible ParameterLine");
const QString kCaption = QStringLiteral("Клиент программы MINUIT");
const QString kPausedCaption = QStringLiteral("Клиент программы MINUIT — приостановлено");

// Where the buttons stand on the top panel; the tops and heights are those
// of a standard button on a 41-pixel panel.
constexpr int kButtonTop = 8;
constexpr int kButtonHeight = 25;
constexpr int kEditTop = 9;

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int width) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(left, kButtonTop, width, kButtonHeight);
  button->setAutoDefault(false);
  return button;
}

QFrame* MakePanel(QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  return panel;
}

}  // namespace

TComputationalServerBase* ServerComponent() {
  return serverComponent;
}

QString ModulePath() {
#ifdef Q_OS_WIN
  const QString library = QStringLiteral("Converted_Minuit\\Minuit.dll");
#else
  const QString library = QStringLiteral("Converted_Minuit/Minuit.so");
#endif
  const QString programDir = QCoreApplication::applicationDirPath() + QDir::separator();
  QString beside = QDir::toNativeSeparators(programDir + library);
#ifdef KESTRIN_INSTALLED_MODULE
  // Installed, the module lives in the library folder, not beside the program.
  QString installed = QDir::cleanPath(programDir + QStringLiteral(KESTRIN_INSTALLED_MODULE));
  if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
    return QDir::toNativeSeparators(installed);
#endif
  return beside;
}

TForm1::TForm1(TServerFactory serverFactory, QWidget* parent) : QWidget(parent) {
  setWindowTitle(kCaption);
  setGeometry(192, 114, 696, 480);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  setFont(font);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  BuildPanel1();
  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setHandleWidth(3);
  Splitter1->setChildrenCollapsible(false);
  BuildPanel2();
  BuildPanel3();
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({329, width() - 329 - 3});
  layout->addWidget(Panel1);
  layout->addWidget(Splitter1, 1);
  chartPoints_ = std::make_unique<ChartPoints>(*Chart1->chart());
  viewTimer_.setSingleShot(true);
  viewTimer_.setInterval(kFrameMs);
  connect(&viewTimer_, &QTimer::timeout, this, &TForm1::UpdateView);

  FormCreate(serverFactory);
}

TForm1::~TForm1() {
  // No event may reach a window that is half destroyed.
  if (server_ != nullptr) {
    server_->SetOnEvent(nullptr);
    delete server_;
  }
}

void TForm1::BuildPanel1() {
  Panel1 = MakePanel(this);
  Panel1->setFixedHeight(41);

  NParams = new TINumEdit(Panel1);
  NParams->setGeometry(5, kEditTop, 24, NParams->height());
  // The range comes last, so that building the window sounds no beep.
  NParams->SetValueCheck(TValueCheck::vcNone);
  NParams->SetValue(8);
  NParams->SetValueMax(50);
  NParams->SetValueMin(1);
  NParams->SetValueCheck(TValueCheck::vcBoth);
  NParams->SetCaptionPosition(TCaptionPosition::cpRight);
  NParams->SetCaption(QStringLiteral("Число параметров"));

  btStart = MakeButton(Panel1, QStringLiteral("Старт"), 139, 71);
  connect(btStart, &QPushButton::clicked, this, &TForm1::btStartClick);

  neTime = new TINumEdit(Panel1);
  neTime->setGeometry(312, kEditTop, 59, neTime->height());
  neTime->SetValueCheck(TValueCheck::vcNone);
  neTime->SetValue(0);
  neTime->SetCaptionPosition(TCaptionPosition::cpLeft);
  neTime->SetCaption(QStringLiteral("Время (сек.) : "));

  btControl = MakeButton(Panel1, QStringLiteral("Приостановить"), 397, 90);
  Button2 = MakeButton(Panel1, QStringLiteral("Продолжить"), 494, 75);
  Button3 = MakeButton(Panel1, QStringLiteral("Закончить"), 583, 75);
  int tag = 1;
  for (QPushButton* button : {btControl, Button2, Button3}) {
    button->setProperty("Tag", tag++);
    connect(button, &QPushButton::clicked, this, [this, button] { btControlClick(button); });
  }
}

void TForm1::BuildPanel2() {
  Panel2 = MakePanel(Splitter1);
  Memo1 = new QPlainTextEdit(Panel2);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setMaximumBlockCount(kMemoLines);
  Memo1->setPlainText(QStringLiteral("Сообщения  Minuit-сервера :"));
  auto* layout = new QVBoxLayout(Panel2);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo1);
  Splitter1->addWidget(Panel2);
}

void TForm1::BuildPanel3() {
  Panel3 = MakePanel(Splitter1);
  auto* chart = new QChart();
  chart->setTitle(QString());
  chart->legend()->hide();
  Series1 = new QLineSeries();
  Series1->setColor(Qt::red);
  Series1->setPointsVisible(false);
  Series1->setPointLabelsVisible(false);
  chart->addSeries(Series1);
  auto* bottom = new QValueAxis();
  bottom->setTitleText(QStringLiteral("Итерация"));
  bottom->setLabelFormat(QStringLiteral("%g"));
  auto* left = new QValueAxis();
  left->setTitleText(QStringLiteral("Значение функции  FCN"));
  left->setLabelFormat(QStringLiteral("%g"));
  chart->addAxis(bottom, Qt::AlignBottom);
  chart->addAxis(left, Qt::AlignLeft);
  Series1->attachAxis(bottom);
  Series1->attachAxis(left);
  Chart1 = new QChartView(chart, Panel3);
  auto* layout = new QVBoxLayout(Panel3);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Chart1);
  Splitter1->addWidget(Panel3);
}

void TForm1::FormCreate(const TServerFactory& serverFactory) {
  server_ = serverFactory ? serverFactory(this) : nullptr;
  serverComponent = server_;
  if (server_ == nullptr) return;
  server_->SetOnEvent([this](QObject* Sender, const QVariant& evName, const QVariant& evValue) {
    EventProcessing(Sender, evName, evValue);
  });
  server_->SetOnStatus([this](const QString& status) { ShowServerStatus(status); });
}

// The window stays live while the component starts the server; the user
// sees why nothing happens yet.
void TForm1::ShowServerStatus(const QString& status) {
  if (status.isEmpty()) {
    QApplication::restoreOverrideCursor();
    return;
  }
  QApplication::setOverrideCursor(Qt::BusyCursor);
  AppendMemo(status);
  UpdateView();
}

template <class Operation>
bool TForm1::CallServer(Operation operation) {
  try {
    operation();
    return true;
  } catch (const EServerError& error) {
    ShowError(ServerErrorText(error));
  } catch (const std::exception& error) {
    ShowError(QString::fromLocal8Bit(error.what()));
  }
  return false;
}

void TForm1::btStartClick() {
  pendingAnswer_.clear();
  TComputationalServerBase* server = ServerComponent();
  if (server == nullptr) {
    ShowMessage(QStringLiteral("Not running!"));
    return;
  }
  QString loadError;
  ++endingRun_;  // a load ends the run in progress first
  const bool called =
      CallServer([&] { loadError = server->LoadDll(ModulePath(), kParameterLine); });
  --endingRun_;
  if (!called) return;
  if (!loadError.isEmpty()) {
    ShowMessage(loadError);
    return;
  }
  script_.Restart();
  chartPoints_->Restart(QPointF(1, 0));
  SetPaused(false);
  UpdateView();
  CallServer([&] { server->Continue(); });
}

void TForm1::btControlClick(QObject* Sender) {
  TComputationalServerBase* server = ServerComponent();
  if (server == nullptr) {
    ShowMessage(QStringLiteral("Not running!"));
    return;
  }
  switch (Sender != nullptr ? Sender->property("Tag").toInt() : 0) {
    case 1:
      if (CallServer([&] { server->Pause(); })) SetPaused(true);
      break;
    case 2:
      if (CallServer([&] { server->Continue(); })) SetPaused(false);
      break;
    case 3:
      ++endingRun_;
      CallServer([&] { server->Finish(); });
      --endingRun_;
      break;
    default:
      break;
  }
}

void TForm1::EventProcessing(QObject* Sender, const QVariant& evName, const QVariant& evValue) {
  Q_UNUSED(Sender);
  const QString name = evName.toString();
  const bool runEvent = name == QLatin1String("Give_Line") || name == QLatin1String("FCN") ||
                        name == QLatin1String("PAINT");
  if (runEvent && !AcceptsRunEvents()) {
    // Sent before the server ended the run; an answer would reach no one,
    // and a value would be taken for the next run's.
  } else if (name == QLatin1String("Give_Line")) {
    GiveLine();
  } else {
    const QString S = evValue.toString();
    if (name == QLatin1String("FCN"))
      pendingAnswer_ = FunctionValueAnswer(S);
    else if (name == QLatin1String("PAINT"))
      AddChartPoint(S);
    else if (!S.isEmpty())
      AppendMemo(S);
  }
  // The run is over: its last picture is shown now, not a frame later.
  if (name == QLatin1String("End_Of_Run") || name == QLatin1String("Server_Lost")) {
    SetPaused(false);
    UpdateView();
  }
  emit EventProcessed(name, evValue.toString());
}

void TForm1::GiveLine() {
  TComputationalServerBase* server = ServerComponent();
  if (server == nullptr) return;
  int seconds = 0;
  if (!CallServer([&] { seconds = server->ElapsedTime(); })) return;
  if (neTime->Value() != seconds) neTime->SetValue(seconds);
  if (!pendingAnswer_.isEmpty()) {
    // Emptied before the call: an "FCN" arriving inside it keeps its answer.
    const QString answer = std::exchange(pendingAnswer_, QString());
    if (!CallServer([&] { server->GiveLine(answer); }) && pendingAnswer_.isEmpty())
      pendingAnswer_ = answer;
    return;
  }
  const QString line = script_.NextLine(NParams->Value());
  CallServer([&] { server->GiveLine(line); });
}

void TForm1::AddChartPoint(QString values) {
  const int k = TakeInteger(values);
  const double v = TakeReal(values);
  chartPoints_->Add(QPointF(k, v));
  ScheduleView();
}

void TForm1::AppendMemo(const QString& line) {
  pendingMemo_ << line;
  // Lines beyond what the memo keeps would scroll away unseen.
  if (pendingMemo_.size() > 2 * kMemoLines)
    pendingMemo_.remove(0, pendingMemo_.size() - kMemoLines);
  ScheduleView();
}

void TForm1::ScheduleView() {
  if (!viewTimer_.isActive()) viewTimer_.start();
}

void TForm1::UpdateView() {
  viewTimer_.stop();
  if (!pendingMemo_.isEmpty()) {
    if (pendingMemo_.size() > kMemoLines) pendingMemo_.remove(0, pendingMemo_.size() - kMemoLines);
    // One paragraph per line, as one append per line would give.
    Memo1->appendPlainText(pendingMemo_.join(QChar(u'\n')));
    pendingMemo_.clear();
  }
  chartPoints_->ShowOn(*Series1, *Chart1->chart());
}

void TForm1::SetPaused(bool paused) {
  if (paused_ == paused) return;
  paused_ = paused;
  setWindowTitle(paused ? kPausedCaption : kCaption);
}

void TForm1::ShowMessage(const QString& text) {
  if (messageSink_)
    messageSink_(text);
  else
    QMessageBox::information(this, QApplication::applicationDisplayName(), text);
}

void TForm1::ShowError(const QString& text) {
  if (errorSink_)
    errorSink_(text);
  else
    QMessageBox::critical(this, QApplication::applicationDisplayName(), text);
}

}  // namespace kvq
