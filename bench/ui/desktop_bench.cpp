// The desktop program's "Start Converting" on the benchmarks' 10-field Paradox table of N
// rows (default a million), offscreen, with message boxes answered by the benchmark:
//   1. direct mode: rows per second, and the longest time the event loop went without
//      processing events (a 5 ms timer measures it);
//   2. per-file preview: the time from the table's last row to the preview window shown
//      and painted, then Execute SQL in that window: lines per second;
//   3. the peak memory of the whole benchmark (the preview script holds every line).
//
//   QT_QPA_PLATFORM=offscreen bench_ui_desktop [--rows N] [--keep DIR]

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <exception>
#include <cstdlib>
#include <cstring>

#include "db/ado/access_provider.h"
#include "db/ado/connection_string.h"
#include "db/ado/driver.h"
#include "db/ado/error.h"
#include "db/jet/database.h"
#include "convert/bench_table.h"
#include "shell/messages.h"
#include "ui/main/form1.h"
#include "ui/preview/desktop_conversion.h"
#include "ui/preview/form2.h"
#include "ui/preview/modal_display.h"
#include "ui/preview/report_list_model.h"

namespace {

using namespace qv;

// The program's drivers, with the Access provider on the real engine.
void useAccessProvider() {
  auto& registry = ado::DriverRegistry::instance();
  try {
    registry.find(ado::ConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x")));
  } catch (const ado::Error&) {
    registry.add(ado::makeAccessProvider(
        [](const std::string& path, const jet::OpenOptions& options) { return jet::openDatabase(path, options); }));
  }
}

void newDatabase(const QString& path) {
  QFile::remove(path);
  jet::createDatabase(path.toStdString(), jet::Format::kJet4)->close();
}

// Rows of the converted table, read back from the database (-1 when it cannot be read).
long rowsIn(const QString& database) {
  try {
    jet::OpenOptions options;
    options.readOnly = true;
    auto db = jet::openDatabase(database.toStdString(), options);
    jet::Table* t = db->table("BIG");
    const long n = t ? static_cast<long>(t->rowCount()) : -1;
    db->close();
    return n;
  } catch (const std::exception&) {
    return -1;
  }
}

int status = 0;

// Processor time of the whole process so far (on a busy machine the wall time also counts
// the time spent waiting for a processor).
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void goal(const char* text, bool met) {
  std::printf("   %s: %s\n", met ? "goal met" : "GOAL MISSED", text);
  if (!met) status = 1;
}

// The longest stretch without event processing, measured by a timer that fires every 5 ms.
class StallMeter {
 public:
  StallMeter() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.elapsed();
      if (last_ >= 0 && now - last_ > worst_) worst_ = now - last_;
      last_ = now;
    });
  }
  void start() {
    clock_.start();
    last_ = -1;
    worst_ = 0;
    timer_.start();
  }
  qint64 stop() {
    timer_.stop();
    return worst_;
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = -1;
  qint64 worst_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  long rows = 1'000'000;
  QString keep;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) rows = std::atol(argv[++i]);
    else if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) keep = QString::fromLocal8Bit(argv[++i]);
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  useAccessProvider();
  QTemporaryDir temp;
  const QString dir = keep.isEmpty() ? temp.path() : keep;
  QDir().mkpath(dir + QStringLiteral("/px"));
  const QString table = dir + QStringLiteral("/px/BIG.DB");
  const QString database = dir + QStringLiteral("/bench.mdb");

  QElapsedTimer clock;
  clock.start();
  bench::writeBenchTable(table.toStdString(), rows);
  std::printf("wrote %ld rows in %.1f s\n", rows, static_cast<double>(clock.elapsed()) / 1000.0);

  shell::RecordingMessages boxes;  // "Done." and friends are answered at once
  ui::Form1 form;
  form.Text1->setText(dir + QStringLiteral("/px"));
  form.Text6->clear();
  ui::DesktopConversion conversion(form);

  // 1. Direct mode.
  newDatabase(database);
  form.Text5->setText(database);
  form.Check1->setChecked(false);
  StallMeter meter;
  meter.start();
  clock.restart();
  double cpu = cpuSeconds();
  conversion.start();
  const double directSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  const double directCpu = cpuSeconds() - cpu;
  const qint64 directStall = meter.stop();
  std::printf(
      "direct mode: %ld rows in %.2f s = %.0f rows/s (processor time %.2f s = %.0f rows/s); event loop blocked "
      "at most %lld ms; %zu messages\n",
      rows, directSeconds, static_cast<double>(rows) / directSeconds, directCpu, static_cast<double>(rows) / directCpu,
      static_cast<long long>(directStall), boxes.shown.size());
  for (const auto& m : boxes.shown) {
    if (m.text != QStringLiteral("Done.")) std::printf("  message: %s\n", qPrintable(m.text.left(200)));
  }
  const long directRows = rowsIn(database);
  goal("every row in the database", directRows == rows);
  goal(">= 200,000 rows/s", static_cast<double>(rows) / directSeconds >= 200000);
  goal("event loop never blocked over 100 ms", directStall <= 100);

  // 2. Per-file preview, then Execute SQL in it.
  boxes.shown.clear();
  newDatabase(database);
  form.Check1->setChecked(true);
  form.Option1->setChecked(true);
  QElapsedTimer sinceLastRow;
  QTimer watch;  // notes when the progress bar reaches the last row
  watch.setInterval(2);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!sinceLastRow.isValid() && conversion.progress().value() >= 100.0) sinceLastRow.start();
  });
  double showSeconds = 0, executeSeconds = 0, executeCpu = 0;
  long lines = 0;
  qint64 executeStall = 0;
  ui::setModalRunner([&](QDialog& window) {
    auto* preview = qobject_cast<ui::Form2*>(&window);
    if (!preview) {
      window.close();
      return;
    }
    window.show();
    QCoreApplication::processEvents();  // shown and painted
    showSeconds = sinceLastRow.isValid() ? static_cast<double>(sinceLastRow.nsecsElapsed()) / 1e9 : -1;
    lines = preview->script().count();
    preview->ListView1->scrollToBottom();
    QCoreApplication::processEvents();
    meter.start();
    QElapsedTimer execute;
    execute.start();
    const double cpuBefore = cpuSeconds();
    preview->PushButton1->click();
    executeSeconds = static_cast<double>(execute.nsecsElapsed()) / 1e9;
    executeCpu = cpuSeconds() - cpuBefore;
    executeStall = meter.stop();
  });
  watch.start();
  clock.restart();
  conversion.start();
  watch.stop();
  std::printf("per-file preview: %ld lines gathered; shown %.2f s after the last row\n", lines, showSeconds);
  std::printf(
      "Execute SQL: %ld lines in %.2f s = %.0f lines/s (processor time %.2f s = %.0f lines/s); event loop "
      "blocked at most %lld ms; SQLFormOK %s\n",
      lines, executeSeconds, static_cast<double>(lines) / executeSeconds, executeCpu,
      static_cast<double>(lines) / executeCpu, static_cast<long long>(executeStall), form.SQLFormOK ? "true" : "false");
  for (const auto& m : boxes.shown) {
    if (m.text != QStringLiteral("Done.")) std::printf("  message: %s\n", qPrintable(m.text.left(200)));
  }
  goal("every row in the database after Execute SQL", rowsIn(database) == rows && form.SQLFormOK);
  goal("preview shown within 5 s after the last row", showSeconds >= 0 && showSeconds <= 5);
  goal(">= 150,000 lines/s", static_cast<double>(lines) / executeSeconds >= 150000);
  goal("event loop never blocked over 100 ms during Execute SQL", executeStall <= 100);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  std::printf("peak memory of the whole benchmark: %.0f MB\n", peakMb);
  goal("peak memory of the whole benchmark < 300 MB", peakMb < 300);
  ui::setModalRunner({});
  return status;
}
