// ostrel_bench [N]: N FCN round trips (the module raises "FCN" with three
// values and reads the answer as a console line) measured in one run:
//   - the bus path: TComputationalServer without a direct channel (events
//     and lines through the bus daemon, ostrel and the worker's frames);
//   - the direct channel: TComputationalServer as its clients use it;
//   - ostrel-run with the answers on its standard input;
//   - the same module driven in-process through zentrix_host.h;
// and what the transports cost by themselves between two processes: a
// method call through the bus daemon (Peer.Ping to ostrel), the same call
// over a peer-to-peer D-Bus connection (no daemon), and a ping-pong of a
// small message over a unix socket pair. Prints round trips per second and
// the ratios.
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
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

double WholePath(int n, bool direct) {
  kvq::TComputationalServer server;
  server.SetDirectChannel(direct);
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
      if (value.toString() != "finished")
        std::fprintf(stderr, "run: %s\n", qPrintable(value.toString()));
    }
  });
  QString error = server.LoadDll(BENCH_MODULE, "Possible ParameterLine");
  if (!error.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 0;
  }
  if (server.Direct() != direct) {
    std::fprintf(stderr, "ostrel_bench: the direct channel did not %s\n",
                 direct ? "open" : "stay shut");
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

// ostrel-run reads the count and every answer from its standard input.
double CommandLine(const QString& address, int n) {
  QByteArray input = QByteArray::number(n) + "\n";
  for (int i = 0; i < n; ++i) input += "1\n";
  QProcess run;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
  run.setProcessEnvironment(environment);
  run.setStandardErrorFile(QProcess::nullDevice());
  run.setStandardOutputFile(QProcess::nullDevice());
  QElapsedTimer timer;
  timer.start();
  run.start(OSTREL_RUN, {BENCH_MODULE});
  run.write(input);
  run.closeWriteChannel();
  if (!run.waitForFinished(600000) || run.exitCode() != 0) return 0;
  return n / (timer.nsecsElapsed() / 1e9);
}

// Peer.Ping, which libdbus answers on every connection by itself.
double PingRate(QDBusConnection connection, const QString& service, int n) {
  QDBusMessage ping =
      QDBusMessage::createMethodCall(service, "/", "org.freedesktop.DBus.Peer", "Ping");
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < n; ++i) {
    if (connection.call(ping).type() == QDBusMessage::ErrorMessage) return 0;
  }
  return n / (timer.nsecsElapsed() / 1e9);
}

double BareCall(const QString& address, int n) {
  double rate = PingRate(QDBusConnection::connectToBus(address, "bench-bare"), "org.kvq.Ostrel", n);
  QDBusConnection::disconnectFromBus("bench-bare");
  return rate;
}

// The other process of the peer-to-peer measure: a D-Bus server without a
// daemon, listening at address until its client leaves.
int ServePeer(const QString& address) {
  QDBusServer server(address);
  if (!server.isConnected()) return 1;
  QList<QDBusConnection> clients;
  QObject::connect(&server, &QDBusServer::newConnection,
                   [&](const QDBusConnection& client) { clients << client; });
  std::printf("ready\n");
  std::fflush(stdout);
  QTimer::singleShot(600000, qApp, &QCoreApplication::quit);
  return QCoreApplication::exec();
}

double PeerToPeerCall(int n) {
  QTemporaryDir directory;
  const QString address = "unix:path=" + directory.filePath("peer");
  QProcess peer;
  peer.start(QCoreApplication::applicationFilePath(), {"--serve-peer", address});
  if (!peer.waitForReadyRead(10000)) return 0;
  QDBusConnection connection = QDBusConnection::connectToPeer(address, "bench-peer");
  double rate = connection.isConnected() ? PingRate(connection, QString(), n) : 0;
  QDBusConnection::disconnectFromPeer("bench-peer");
  peer.kill();
  peer.waitForFinished(5000);
  return rate;
}

// A message of an FCN event's size there and back over a socket pair, the
// other end in a child process that echoes it.
double SocketPairPingPong(int n) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return 0;
  char message[32] = "FCN   2    1.00    0.50";
  pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    char buffer[sizeof message];
    while (read(ends[1], buffer, sizeof buffer) == static_cast<ssize_t>(sizeof buffer))
      if (write(ends[1], buffer, sizeof buffer) != static_cast<ssize_t>(sizeof buffer)) break;
    _exit(0);
  }
  close(ends[1]);
  QElapsedTimer timer;
  timer.start();
  bool whole = true;
  for (int i = 0; i < n && whole; ++i)
    whole = write(ends[0], message, sizeof message) == static_cast<ssize_t>(sizeof message) &&
            read(ends[0], message, sizeof message) == static_cast<ssize_t>(sizeof message);
  double rate = n / (timer.nsecsElapsed() / 1e9);
  close(ends[0]);
  waitpid(child, nullptr, 0);
  return whole ? rate : 0;
}

}  // namespace

constexpr int kRounds = 3;

void PrintRate(const char* what, double rate) {
  std::printf("%-58s %10.0f /s\n", what, rate);
}

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "--serve-peer") == 0) return ServePeer(argv[2]);
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
  WholePath(100, true);  // starts the server through activation, warms up
  // The best of three rounds, the ways taking turns, so that load from
  // elsewhere on the machine weighs on all of them alike.
  double busPath = 0, direct = 0, commandLine = 0, inProcess = 0, bare = 0, peer = 0,
         socketPair = 0;
  for (int round = 0; round < kRounds; ++round) {
    busPath = std::max(busPath, WholePath(n, false));
    direct = std::max(direct, WholePath(n, true));
    commandLine = std::max(commandLine, CommandLine(bus.Address(), n));
    // A module runs once per process (zentrix_host.h).
    if (round == 0) inProcess = InProcessHost(n * 20);
    bare = std::max(bare, BareCall(bus.Address(), n));
    peer = std::max(peer, PeerToPeerCall(n));
    socketPair = std::max(socketPair, SocketPairPingPong(n * 5));
  }
  std::printf("FCN round trips: %d (in-process: %d, socket pair: %d), best of %d rounds\n", n,
              n * 20, n * 5, kRounds);
  PrintRate("(1) bus path (component, bus, ostrel, worker, module):", busPath);
  PrintRate("(2) direct channel (component, worker, module):", direct);
  PrintRate("(3) ostrel-run (direct channel, answers from stdin):", commandLine);
  PrintRate("in-process host (zentrix_host.h, one round):", inProcess);
  PrintRate("bare D-Bus call through the daemon (Peer.Ping):", bare);
  PrintRate("(4) bare peer-to-peer D-Bus call (Peer.Ping, no daemon):", peer);
  PrintRate("(5) socket pair ping-pong (32 bytes):", socketPair);
  std::printf("direct / bus path:            %.2f\n", direct / busPath);
  std::printf("direct / peer-to-peer call:   %.2f\n", direct / peer);
  std::printf("direct / socket pair:         %.2f\n", direct / socketPair);
  std::printf("ostrel-run / bus path:        %.2f\n", commandLine / busPath);
  std::printf("in-process / direct:          %.2f\n", inProcess / direct);
  std::printf("bus path / daemon call:       %.2f\n", busPath / bare);
  const bool all = busPath > 0 && direct > 0 && commandLine > 0 && inProcess > 0 && bare > 0 &&
                   peer > 0 && socketPair > 0;
  return all ? 0 : 1;
}
