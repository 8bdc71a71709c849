#include "app/cli/convert_host.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>

#include "db/ado/error.h"
#include "db/ado/paradox_driver.h"
#include "engine/connection_strings.h"
#include "engine/conversion_run.h"
#include "engine/paradox_discovery.h"

namespace qv::cli {
namespace {

// Failures listed one by one; past that they are only counted.
constexpr size_t kFailuresShown = 200;

const QString kTablePrefix = QStringLiteral("Please wait.. Processing table ");

bool isDatabaseStatement(int step) { return step == 170 || step == 302 || step == 406; }

std::string oneLine(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral(" | "));
  text.replace(u'\r', QStringLiteral(" | "));
  text.replace(u'\n', QStringLiteral(" | "));
  return text.toStdString();
}

}  // namespace

ConvertHost::ConvertHost(const ConvertOptions& options, std::FILE* progressOut)
    : options_(options), progressOut_(progressOut) {
  shell::setMessages(this);
  drawClock_.start();
}

ConvertHost::~ConvertHost() { shell::setMessages(nullptr); }

QString ConvertHost::accessConnectionString() const {
  return engine::AccessConnString(options_.database, options_.password);
}

QString ConvertHost::paradoxConnectionString() const {
  QString text = engine::ParadoxConnString(options_.paradoxFolder);
  if (options_.codePage != 0) text += ado::kCodePageKey + u'=' + QString::number(options_.codePage) + u';';
  return text;
}

bool ConvertHost::hasParadoxTables() { return engine::HasParadoxTables(options_.paradoxFolder); }

QStringList ConvertHost::loadParadoxTables() { return engine::LoadParadoxTables(options_.paradoxFolder); }

QStringList ConvertHost::loadAccessTables() {
  QStringList list;
  engine::LoadAccessTables(list, options_.database, engine::AccessFields{options_.database, options_.password});
  return list;
}

void ConvertHost::setProgressText(const QString& text) {
  if (text.startsWith(kTablePrefix)) {
    table_ = text.mid(kTablePrefix.size());
    value_ = 0;
    tableClock_.start();
    drawProgress(true);
  } else if (text.isEmpty() && !table_.isEmpty()) {
    drawProgress(true);
    endProgressLine();
    table_.clear();
  }
}

void ConvertHost::setProgressValue(double value) {
  value_ = value;
  drawProgress(false);
}

void ConvertHost::drawProgress(bool force) {
  if (!progressOut_ || table_.isEmpty()) return;
  if (!force && drawClock_.elapsed() < 100) return;
  drawClock_.restart();
  const long reading = run_ ? run_->currentRow() : 0;
  // The run shows (row + 1) / (count + 1) * 100, so the count follows from the value.
  long count = value_ > 0 ? std::lround(static_cast<double>(reading + 1) * 100.0 / static_cast<double>(value_)) - 1 : 0;
  // The line shows the rows whose statements have run, which may trail the row read.
  long row = run_ ? run_->rowsDone() : 0;
  double seconds = tableClock_.isValid() ? static_cast<double>(tableClock_.elapsed()) / 1000.0 : 0;
  double rate = seconds > 0 ? static_cast<double>(row) / seconds : 0;
  std::string left = "--";
  if (rate > 0 && count >= row) {
    long s = std::lround(static_cast<double>(count - row) / rate);
    left = std::to_string(s / 60) + "m" + (s % 60 < 10 ? "0" : "") + std::to_string(s % 60) + "s";
  }
  const int width = 24;
  int filled = static_cast<int>(std::clamp(value_, 0.0, 100.0) / 100.0 * width);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(width, '.');
  std::fprintf(progressOut_, "\r\033[K%s [%s] %ld/%ld rows  %.0f rows/s  %s left", table_.toUtf8().constData(),
               bar.c_str(), row, count, rate, left.c_str());
  std::fflush(progressOut_);
  progressShown_ = true;
}

void ConvertHost::endProgressLine() {
  if (progressOut_ && progressShown_) {
    std::fputc('\n', progressOut_);
    progressShown_ = false;
  }
}

namespace {

// The script is written to its file in pieces of about this size.
constexpr size_t kScriptBufferBytes = size_t{1} << 20;

}  // namespace

void ConvertHost::clearPreviewScript() {
  if (!previewMode()) return;
  scriptFile_.close();
  scriptBuffer_.clear();
  scriptLines_ = 0;
  scriptError_.clear();
  scriptWritten_ = false;
  scriptFile_.setFileName(options_.sqlFile);
  if (!scriptFile_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    scriptError_ = QStringLiteral("Cannot write '%1': %2").arg(options_.sqlFile, scriptFile_.errorString());
    throw ado::Error(-1, scriptError_);
  }
}

bool ConvertHost::flushScript() {
  if (!scriptError_.isEmpty()) return false;
  if (!scriptFile_.isOpen()) {
    scriptError_ = QStringLiteral("Cannot write '%1': the file is not open").arg(options_.sqlFile);
    return false;
  }
  const qint64 size = static_cast<qint64>(scriptBuffer_.size());
  if (size > 0 && scriptFile_.write(scriptBuffer_.data(), size) != size) {
    scriptError_ = QStringLiteral("Cannot write '%1': %2").arg(options_.sqlFile, scriptFile_.errorString());
    return false;
  }
  scriptBuffer_.clear();
  return true;
}

void ConvertHost::appendPreviewRow(std::string_view statement) {
  ++scriptLines_;
  if (!scriptError_.isEmpty()) return;  // reported once already, and again at the end
  scriptBuffer_.append(statement);
  scriptBuffer_ += '\n';
  if (scriptBuffer_.size() >= kScriptBufferBytes && !flushScript()) {
    scriptBuffer_.clear();
    throw ado::Error(-1, scriptError_);
  }
}

void ConvertHost::appendPreviewLine(const QString& statement) {
  const QByteArray utf8 = statement.toUtf8();
  appendPreviewRow(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

void ConvertHost::showPreview() {
  // Every statement is in the file (one per line) once the rest of the buffer is;
  // nothing is executed.
  if (!scriptFile_.isOpen() && scriptError_.isEmpty()) {
    scriptFile_.setFileName(options_.sqlFile);
    if (!scriptFile_.open(QIODevice::WriteOnly | QIODevice::Truncate))
      scriptError_ = QStringLiteral("Cannot write '%1': %2").arg(options_.sqlFile, scriptFile_.errorString());
  }
  if (!flushScript() || !scriptFile_.flush()) {
    if (scriptError_.isEmpty())
      scriptError_ = QStringLiteral("Cannot write '%1': %2").arg(options_.sqlFile, scriptFile_.errorString());
    scriptFile_.close();
    throw ado::Error(-1, scriptError_);
  }
  scriptFile_.close();
  scriptWritten_ = true;
}

void ConvertHost::executed(const QString& statement) {
  if (statement.startsWith(QLatin1String("INSERT"))) {
    ++rowsWritten_;
  } else if (statement.startsWith(QLatin1String("CREATE"))) {
    ++tablesCreated_;
  }
}

void ConvertHost::executedRow(std::string_view statement) {
  if (statement.starts_with("INSERT")) {
    ++rowsWritten_;
  } else if (statement.starts_with("CREATE")) {
    ++tablesCreated_;
  }
}

void ConvertHost::reportFailure(const QString&, int step, const QString& description, const QString& table, long row) {
  endProgressLine();
  failures_.push_back({table, row, step, description});
  if (isDatabaseStatement(step)) ++statementsFailed_;
  if (failures_.size() > kFailuresShown) {
    if (failures_.size() == kFailuresShown + 1)
      std::fprintf(stderr, "error: more failures follow; the summary counts them\n");
    return;
  }
  std::string where = table.isEmpty() ? std::string("the run") : "table " + table.toStdString();
  if (step >= 304 && step <= 410 && row > 0) where += ", row " + std::to_string(row);
  std::fprintf(stderr, "error: %s (step %d): %s\n", where.c_str(), step, oneLine(description).c_str());
}

shell::MsgAnswer ConvertHost::show(const shell::Message& message) {
  endProgressLine();
  if (message.buttons == shell::MsgButtons::YesNo) {
    if (message.title == QLatin1String("Overwrite?") && options_.overwrite != OverwriteMode::kAsk) {
      bool yes = options_.overwrite == OverwriteMode::kYes;
      std::fprintf(stderr, "%s %s\n", message.text.toUtf8().constData(), yes ? "Yes" : "No");
      return yes ? shell::MsgAnswer::Yes : shell::MsgAnswer::No;
    }
    for (;;) {
      std::fprintf(stderr, "%s [y/n] ", message.text.toUtf8().constData());
      std::fflush(stderr);
      std::string answer;
      if (!std::getline(std::cin, answer)) {
        std::fprintf(stderr, "\nNo answer on standard input: taken as No.\n");
        return shell::MsgAnswer::No;
      }
      if (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes") return shell::MsgAnswer::Yes;
      if (answer == "n" || answer == "N" || answer == "no" || answer == "No") return shell::MsgAnswer::No;
    }
  }
  if (message.text == QLatin1String("Done.")) return shell::MsgAnswer::Ok;  // the summary says it
  std::fprintf(stderr, "%s\n", oneLine(message.text).c_str());
  return shell::MsgAnswer::Ok;
}

int ConvertHost::finish(std::FILE* out) {
  endProgressLine();
  if (previewMode()) {
    std::fprintf(out, "%s: %lld statement%s written to %s\n", scriptWritten_ ? "Script" : "No script",
                 static_cast<long long>(scriptLines_), scriptLines_ == 1 ? "" : "s",
                 options_.sqlFile.toUtf8().constData());
  } else {
    std::fprintf(out, "Tables converted: %ld\nRows written: %ld\nStatements failed: %ld\n", tablesCreated_,
                 rowsWritten_, statementsFailed_);
  }
  if (!failures_.empty()) {
    std::fprintf(out, "Failures: %zu\n", failures_.size());
    size_t shown = 0;
    for (const auto& f : failures_) {
      if (++shown > kFailuresShown) {
        std::fprintf(out, "  ... and %zu more\n", failures_.size() - kFailuresShown);
        break;
      }
      std::string where = f.table.isEmpty() ? std::string("(run)") : f.table.toStdString();
      if (f.row > 0 && f.step >= 304 && f.step <= 410) where += " row " + std::to_string(f.row);
      std::fprintf(out, "  %s, step %d: %s\n", where.c_str(), f.step, oneLine(f.description).c_str());
    }
  }
  return failures_.empty() && (!previewMode() || scriptWritten_) ? 0 : 1;
}

}  // namespace qv::cli
