// How fast a whole minimisation runs through Kestrin, the server and the
// module, and how much of it the window's thread spends on the events.
//   kestrin_bench [n]     n parameters (default 50), on a private bus
// Not a test: runs the minimisation twice in one run, once on the bus path
// and once over the direct channel, and prints for each the evaluations per
// second and the time per event, with the window's share of the run's wall
// time, and the ratio of the two.
#include <QApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "ComputationalServer.h"
#include "Form1.h"
#include "OstrelIdentity.h"
#include "PrivateBus.h"

using namespace kvq;

namespace {

struct Cost {
  int count = 0;
  qint64 ns = 0;
  qint64 maxNs = 0;
};

struct RunFigures {
  double seconds = 0;
  int evaluations = 0;
  QString memo;
  QList<QPointF> points;
};

std::optional<RunFigures> RunOnce(QApplication& app, int n, bool direct) {
  TForm1 form([direct](QObject* owner) {
    auto* server = new TComputationalServer(owner);
    server->SetDirectChannel(direct);
    return server;
  });
  form.SetMessageSink([](const QString& m) { std::fprintf(stderr, "box: %s\n", qPrintable(m)); });
  form.SetErrorSink([](const QString& m) { std::fprintf(stderr, "error: %s\n", qPrintable(m)); });
  form.show();
  form.NParams->SetValue(n);

  QMap<QString, Cost> costs;
  QElapsedTimer wall;
  bool ended = false;
  ServerComponent()->SetOnEvent([&](QObject* sender, const QVariant& name, const QVariant& value) {
    QElapsedTimer t;
    t.start();
    form.EventProcessing(sender, name, value);
    const qint64 ns = t.nsecsElapsed();
    Cost& c = costs[name.toString()];
    ++c.count;
    c.ns += ns;
    c.maxNs = std::max(c.maxNs, ns);
    if (name.toString() == QLatin1String(ostrel::kEndOfRunEvent)) {
      ended = true;
      app.quit();
    }
  });
  wall.start();
  QTimer::singleShot(0, form.btStart, &QPushButton::click);
  QTimer::singleShot(600000, &app, &QApplication::quit);
  app.exec();
  const double seconds = wall.nsecsElapsed() / 1e9;
  if (!ended) {
    std::fprintf(stderr, "kestrin_bench: the run did not end\n");
    return std::nullopt;
  }
  qint64 guiNs = 0;
  int events = 0;
  std::printf("%s: n=%d  wall %.2f s  ElapsedTime %d s\n", direct ? "direct channel" : "bus path",
              n, seconds, form.neTime->Value());
  for (auto it = costs.begin(); it != costs.end(); ++it) {
    guiNs += it->ns;
    events += it->count;
    std::printf("  %-14s %7d events  mean %8.1f us  max %8.1f us\n", qPrintable(it.key()),
                it->count, it->ns / 1e3 / it->count, it->maxNs / 1e3);
  }
  const int evaluations = costs.value(QStringLiteral("FCN")).count;
  std::printf("  function evaluations %d: %.0f per second through the whole path\n", evaluations,
              evaluations / seconds);
  std::printf(
      "  window thread in EventProcessing: %.1f us per event; %.1f%% of the wall time "
      "(Give_Line includes the GiveLine call)\n",
      guiNs / 1e3 / events, 100.0 * guiNs / 1e9 / seconds);
  std::printf("  memo %d lines (bound %d), chart %lld points\n", form.Memo1->blockCount(),
              TForm1::kMemoLines, (long long)form.Series1->count());
  return RunFigures{seconds, evaluations, form.Memo1->toPlainText(), form.Series1->points()};
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int n = argc > 1 ? std::atoi(argv[1]) : 50;
  qputenv("OSTREL_IDLE_SECONDS", "2");
  test::PrivateBus bus;
  if (!bus.Running()) {
    std::fprintf(stderr, "kestrin_bench: no private bus (dbus-daemon)\n");
    return 1;
  }
  bus.UseInThisProcess();
  SetBeepSink([] {});
  {
    // The server starts now, not inside the first run (its memo would say so).
    TComputationalServer starter;
    starter.LoadDll(QString(), QString());
  }
  std::optional<RunFigures> onBus = RunOnce(app, n, false);
  std::optional<RunFigures> direct = RunOnce(app, n, true);
  if (!onBus || !direct) return 1;
  std::printf("bus path / direct channel (wall time): %.2f\n", onBus->seconds / direct->seconds);
  // Timings differ between the runs; the minimisation does not.
  std::printf("same evaluations, memo and chart on both paths: %s\n",
              onBus->evaluations == direct->evaluations && onBus->points == direct->points &&
                      onBus->memo == direct->memo
                  ? "yes"
                  : "no");
  return 0;
}
