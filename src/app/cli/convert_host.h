#pragma once
// The command line as the conversion run's host: the fields come from the arguments,
// questions are answered by the --overwrite option (or on the terminal), failures are
// collected for the closing summary, and on a terminal a progress line shows the table,
// the rows, the rate and the time left.

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/access_catalog.h"
#include "engine/conversion_host.h"
#include "shell/messages.h"

namespace qv::engine {
class ConversionRun;
}

namespace qv::cli {

enum class OverwriteMode { kAsk, kYes, kNo };

struct ConvertOptions {
  QString paradoxFolder;
  QString database;
  QString password;
  OverwriteMode overwrite = OverwriteMode::kAsk;
  QString sqlFile;        // non-empty: write the script there instead of executing
  unsigned codePage = 0;  // non-zero: read every Paradox table in this code page
};

struct ConvertFailure {
  QString table;
  long row = 0;
  int step = 0;
  QString description;
};

class ConvertHost final : public engine::ConversionHost, public shell::MessageSink {
 public:
  ConvertHost(const ConvertOptions& options, std::FILE* progressOut);
  ~ConvertHost() override;

  void attach(const engine::ConversionRun* run) { run_ = run; }

  QString paradoxFolder() const override { return options_.paradoxFolder; }
  bool previewMode() const override { return !options_.sqlFile.isEmpty(); }
  bool perFilePreview() const override { return true; }
  bool perTablePreview() const override { return false; }
  QString accessConnectionString() const override;
  QString paradoxConnectionString() const override;
  void copyDB() override {}  // the command line has no trouble with blanks in paths
  bool hasParadoxTables() override;
  QStringList loadParadoxTables() override;
  QStringList loadAccessTables() override;
  engine::ConnectionSlots& connections() override { return connections_; }
  engine::PreviewFlags& previewFlags() override { return flags_; }
  void setBusyPointer(bool) override {}
  void setProgressText(const QString& text) override;
  void setProgressValue(double value) override;
  // With --sql the script goes to the file as the run makes it: only a buffer of it is
  // held, whatever the size of the tables.
  void clearPreviewScript() override;
  void appendPreviewLine(const QString& statement) override;
  void appendPreviewRow(std::string_view statement) override;
  void clearDatatypeRecord() override {}
  void appendDatatypeRow(const engine::DatatypeRow&) override {}
  void showPreview() override;
  void yield() override {}
  void executed(const QString& statement) override;
  void executedRow(std::string_view statement) override;
  void reportFailure(const QString& location, int step, const QString& description, const QString& table,
                     long row) override;

  shell::MsgAnswer show(const shell::Message& message) override;

  // The closing summary; returns the exit status (0 only when nothing failed).
  int finish(std::FILE* out);

 private:
  void drawProgress(bool force);
  void endProgressLine();
  // Writes the buffered script to the file; false (and the failure noted) when it cannot.
  bool flushScript();

  QFile scriptFile_;
  std::string scriptBuffer_;
  long scriptLines_ = 0;
  QString scriptError_;  // the first failure to open or write the file

  ConvertOptions options_;
  std::FILE* progressOut_;  // nullptr: no progress line (not a terminal)
  const engine::ConversionRun* run_ = nullptr;
  engine::ConnectionSlots connections_;
  engine::PreviewFlags flags_;
  std::vector<ConvertFailure> failures_;
  bool scriptWritten_ = false;
  long tablesCreated_ = 0;
  long rowsWritten_ = 0;
  long statementsFailed_ = 0;
  // Progress of the current table.
  QString table_;
  double value_ = 0;
  QElapsedTimer tableClock_;
  QElapsedTimer drawClock_;
  bool progressShown_ = false;
};

}  // namespace qv::cli
