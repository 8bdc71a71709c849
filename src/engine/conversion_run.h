#pragma once
// The conversion run ("Start Converting"): for every Paradox table of the folder, from
// the last one listed to the first, it may drop the Access table of the same name, creates
// it with mapped column types and copies every row with one INSERT statement; in direct
// mode the statements are executed, in preview mode they go to the preview script.
//
// In direct mode a table's INSERT statements go to the database in batches (a thousand
// rows, or what a quarter of a second gathers), which lets the database write a run of
// rows at once. Each statement keeps its own outcome: a failing row is reported with its
// own row number, as if it had run alone, and the rows around it go in. The queue is
// executed before anything else is reported or done: before the report of a later
// step's failure, the next table, the end of the run, and the end of the program
// (finishQueuedRows).
// Every step is numbered and runs under a StepTrap: a failure is reported and the run
// goes on with the next step, so one bad row or table never ends the run.
//
// A table name found twice (Orders.db in the folder and ORDERS.DB in a folder below it)
// is converted once: both entries open the same table through the Paradox driver (the
// first of the name in walk order), and converting the second would add its rows a second
// time or, after the first made the Access table, into that table. The second entry is
// skipped with a message that says what became of the first.

#include <QLocale>
#include <QHash>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "db/ado/recordset.h"
#include "engine/conversion_host.h"
#include "engine/statement_batch.h"
#include "engine/value_text.h"

namespace qv::engine {

// What became of the first entry of a table name: converted (or put into the preview),
// not overwritten at the user's answer, or skipped in its per-table preview.
enum class FirstEntry { kConverted, kDeclined, kSkipped };

class ConversionRun {
 public:
  ConversionRun(ConversionHost& host, const QLocale& locale);

  // The click of "Start Converting". Returns at once when a run is already under way.
  void start();

  bool running() const { return running_; }
  const QString& currentTable() const { return currentTable_; }
  // The row being read (the progress bar's row).
  long currentRow() const { return reportRow_ >= 0 ? reportRow_ : rowCounter_; }
  // How many rows of the current table have had their statement executed (or failed),
  // or appended to the preview script.
  long rowsDone() const { return rowsDone_; }
  // List1 and List2 as the run last filled them.
  const QStringList& paradoxTables() const { return list1_; }
  const QStringList& accessTables() const { return list2_; }

  // Executes the rows queued for the database now, reporting nothing: for a program that
  // ends in the middle of a run (its main window closed), so that no row read is lost.
  void finishQueuedRows();

 private:
  friend class StepTrapAdapter;
  enum class Answer { kNotAsked, kYes, kNo };

  void copyTable(class StepTrapAdapter& trap, std::unique_ptr<ado::Recordset>& recordset, int index, bool firstTable,
                 bool* leaveLoop);
  void copyRows(class StepTrapAdapter& trap, ado::Recordset& rs, const std::vector<bool>& numeric);
  void deliver(class StepTrapAdapter& trap, int previewStep, int appendStep, int executeStep, const QString& statement);
  // Direct mode: queues a row's INSERT statement; executes the queue when it is full.
  void queueRow(class StepTrapAdapter& trap, std::string_view statement);
  void executeQueuedRows(class StepTrapAdapter& trap);

  ConversionHost& host_;
  LocaleRules rules_;
  bool running_ = false;
  QString currentTable_;
  long rowCounter_ = 0;
  long rowsDone_ = 0;
  long reportRow_ = -1;  // while a queued row's failure is reported: its row
  // The queued rows' statements, each tagged with its row.
  StatementBatch queued_;
  QStringList list1_;
  QStringList list2_;
  // The table names this run has come to (compared without regard to case), with what
  // became of the first entry of each.
  QHash<QString, FirstEntry> tablesSeen_;
};

// What the run says when a table name comes up a second time (the same file name in the
// folder and in a folder below it): the name is converted once, from the table the
// Paradox driver opens under it, unless the user declined or skipped that first entry;
// the entry found again is skipped.
QString duplicateTableMessage(const QString& table, FirstEntry first);

}  // namespace qv::engine
