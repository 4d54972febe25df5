// ostrel_bench [N]: N FCN round trips (the module raises "FCN" with three
// values and reads the answer as a console line) measured three ways in one
// run: through the whole path (TComputationalServer, a private bus, ostrel,
// ostrel-worker, the module), the same module driven in-process through
// zentrix_host.h, and a bare D-Bus method call between two processes
// (org.freedesktop.DBus.Peer.Ping to the server). Prints round trips per
// second and the ratios.
#include <dlfcn.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ComputationalServer.h"
#include "PrivateBus.h"
#include "zentrix_host.h"

namespace {

// The client's answer: the sum of (x(i) - i)^2 over the values after the count.
double Answer(const QString& value) {
  QStringList numbers = value.split(' ', Qt::SkipEmptyParts);
  double sum = 0;
  for (int i = 1; i < numbers.size(); ++i) {
    double x = numbers[i].toDouble() - i;
    sum += x * x;
  }
  return sum;
}

double WholePath(int n) {
  kvq::TComputationalServer server;
  QString pending = QString::number(n);
  bool ended = false;
  server.SetOnEvent([&](QObject*, const QVariant& name, const QVariant& value) {
    const QString event = name.toString();
    if (event == "FCN") {
      pending = QString::number(Answer(value.toString()), 'g', 15);
    } else if (event == "Give_Line") {
      server.GiveLine(pending);
    } else if (event == "End_Of_Run") {
      ended = true;
      if (value.toString() != "finished") std::fprintf(stderr, "run: %s\n", qPrintable(value.toString()));
    }
  });
  QString error = server.LoadDll(BENCH_MODULE, "Possible ParameterLine");
  if (!error.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 0;
  }
  QElapsedTimer timer;
  timer.start();
  server.Continue();
  while (!ended) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return n / (timer.nsecsElapsed() / 1e9);
}

struct InProcess {
  int n;
  bool first = true;
  std::string pending;
};

int ReadLine(void* context, char* buffer, int capacity) {
  auto* run = static_cast<InProcess*>(context);
  std::string line = run->first ? std::to_string(run->n) : run->pending;
  run->first = false;
  int length = std::min<int>(capacity, static_cast<int>(line.size()));
  std::memcpy(buffer, line.data(), static_cast<std::size_t>(length));
  return length;
}

void Event(void* context, const char* name, const char* value) {
  if (std::strcmp(name, "FCN") == 0)
    static_cast<InProcess*>(context)->pending =
        QString::number(Answer(QString::fromUtf8(value)), 'g', 15).toStdString();
}

void Ignore(void*, const char*, int) {}

double InProcessHost(int n) {
  void* module = dlopen(BENCH_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (!module) return 0;
  auto attach = reinterpret_cast<int (*)(const zx_host*)>(dlsym(module, "zx_attach_host"));
  auto call = reinterpret_cast<int (*)(zx_entry_routine, int*)>(dlsym(module, "zx_call_entry"));
  auto entry = reinterpret_cast<zx_entry_routine>(dlsym(module, "benchfcn_"));
  InProcess run{n, true, {}};
  zx_host host{ZX_HOST_API_VERSION, sizeof(zx_host), &run, ReadLine, Ignore, Ignore, Event};
  attach(&host);
  std::vector<int> job(ZX_JOB_SIZE, 0);
  job[0] = ZX_REGIME_HOSTED;
  QElapsedTimer timer;
  timer.start();
  call(entry, job.data());
  double rate = n / (timer.nsecsElapsed() / 1e9);
  attach(nullptr);
  return rate;
}

double BareCall(const QString& address, int n) {
  QDBusConnection bus = QDBusConnection::connectToBus(address, "bench-bare");
  QDBusMessage ping = QDBusMessage::createMethodCall("org.kvq.Ostrel", "/",
                                                     "org.freedesktop.DBus.Peer", "Ping");
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < n; ++i) {
    if (bus.call(ping).type() == QDBusMessage::ErrorMessage) return 0;
  }
  double rate = n / (timer.nsecsElapsed() / 1e9);
  QDBusConnection::disconnectFromBus("bench-bare");
  return rate;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int n = argc > 1 ? std::atoi(argv[1]) : 20000;
  if (n <= 0) {
    std::fprintf(stderr, "usage: ostrel_bench [ROUND-TRIPS]\n");
    return 2;
  }
  kvq::test::PrivateBus bus;
  if (!bus.Running()) {
    std::fprintf(stderr, "ostrel_bench: dbus-daemon did not start\n");
    return 1;
  }
  bus.UseInThisProcess();
  WholePath(100);  // starts the server through activation, warms up
  double whole = WholePath(n);
  double inProcess = InProcessHost(n * 20);
  double bare = BareCall(bus.Address(), n);
  std::printf("FCN round trips: %d (in-process: %d)\n", n, n * 20);
  std::printf("whole path (component, bus, ostrel, worker, module): %10.0f /s\n", whole);
  std::printf("in-process host (zentrix_host.h):                    %10.0f /s\n", inProcess);
  std::printf("bare D-Bus method call (Peer.Ping to ostrel):        %10.0f /s\n", bare);
  std::printf("in-process / whole path: %.1f\n", inProcess / whole);
  std::printf("bare call / whole path:  %.2f\n", bare / whole);
  return whole > 0 && inProcess > 0 && bare > 0 ? 0 : 1;
}
