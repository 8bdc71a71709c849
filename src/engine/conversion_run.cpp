#include "engine/conversion_run.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <span>
#include <utility>

#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "db/ado/recordset.h"
#include "engine/row_literal.h"
#include "shell/error_report.h"
#include "shell/main_helpers.h"
#include "shell/messages.h"
#include "shell/step_trap.h"

namespace qv::engine {

// A StepTrap whose reports go to the host with the run's table and row. Rows still
// queued for the database are executed, and their failures reported, before the failure
// of any later step is: reports come in the order of the steps. A quiet trap reports
// nothing (the program is ending).
class StepTrapAdapter : public shell::StepTrap {
 public:
  StepTrapAdapter(ConversionHost& host, ConversionRun& run, bool quiet = false)
      : shell::StepTrap(shell::locationString(QStringLiteral("Form1"), QStringLiteral("PushButton7_Click")),
                        [this, &host, &run, quiet](const QString& location, int step, const QString& description) {
                          if (quiet) return;
                          run.executeQueuedRows(*this);
                          host.reportFailure(location, step, description, run.currentTable(), run.currentRow());
                        }) {}
};

ConversionRun::ConversionRun(ConversionHost& host, const QLocale& locale) : host_(host), rules_(locale) {}

void ConversionRun::start() {
  StepTrapAdapter trap(host_, *this);
  if (trap.test(100, [&] { return running_; })) return;
  trap.run(102, [&] { running_ = true; });
  ConnectionSlots& conns = host_.connections();
  trap.run(104, [&] { conns.paradox = ado::Connection::Create(); });
  std::unique_ptr<ado::Recordset> rs;
  trap.run(106, [&] { rs = std::make_unique<ado::Recordset>(); });
  trap.run(108, [&] { conns.access = ado::Connection::Create(); });
  trap.run(114, [&] { host_.copyDB(); });
  bool hasTables = true;  // a failed check goes on with the run
  trap.run(116, [&] { hasTables = host_.hasParadoxTables(); });
  if (!hasTables) {
    running_ = false;
    return;
  }
  trap.run(118, [&] { host_.setBusyPointer(true); });
  trap.run(120, [&] {
    list1_.clear();
    tablesSeen_.clear();
  });
  trap.run(122, [&] { list2_.clear(); });
  trap.run(124, [&] { list1_ = host_.loadParadoxTables(); });
  trap.run(126, [&] { list2_ = host_.loadAccessTables(); });
  auto requireConn = [](const std::unique_ptr<ado::Connection>& c) -> ado::Connection& {
    if (!c) throw ado::Error(91, QStringLiteral("Object variable not set"));
    return *c;
  };
  trap.run(128, [&] { requireConn(conns.access).setCursorLocation(ado::adUseClient); });
  trap.run(130, [&] { requireConn(conns.access).setMode(ado::adModeReadWrite); });
  trap.run(132, [&] { requireConn(conns.access).Open(host_.accessConnectionString()); });
  trap.run(134, [&] { requireConn(conns.paradox).setCursorLocation(ado::adUseClient); });
  trap.run(136, [&] { requireConn(conns.paradox).Open(host_.paradoxConnectionString()); });
  bool connectionsOpen = false;
  trap.run(138, [&] { connectionsOpen = true; });

  int index = 0;
  auto start = trap.loopHead(140, [&] {
    index = static_cast<int>(static_cast<int16_t>(list1_.size() - 1));
    return index >= 0;
  });
  if (start != shell::StepTrap::LoopStart::kSkip) {
    bool firstTable = true;
    do {
      bool leave = false;
      copyTable(trap, rs, index, firstTable, &leave);
      firstTable = false;
      if (leave || start == shell::StepTrap::LoopStart::kOnce) break;
    } while (trap.advance(426, [&] { return --index >= 0; }));
  }

  PreviewFlags& flags = host_.previewFlags();
  if (trap.test(428, [&] { return host_.previewMode(); })) {
    if (trap.test(430, [&] { return host_.perFilePreview(); })) {
      trap.run(432, [&] { flags.sqlFormOK = false; });
      trap.run(434, [&] { host_.showPreview(); });
      if (trap.test(436, [&] { return !flags.sqlFormOK; })) {
        trap.run(438, [&] { requireConn(conns.paradox).Close(); });
        trap.run(440, [&] { requireConn(conns.access).Close(); });
        trap.run(442, [&] { connectionsOpen = false; });
        trap.run(444, [&] { host_.setProgressText(QString()); });
      }
    }
  }
  if (trap.test(446, [&] { return connectionsOpen; })) {
    trap.run(448, [&] { requireConn(conns.paradox).Close(); });
    trap.run(450, [&] { requireConn(conns.access).Close(); });
  }
  trap.run(452, [&] { host_.setBusyPointer(false); });
  trap.run(454, [&] { host_.setProgressValue(0); });
  trap.run(456, [&] { host_.setProgressText(QStringLiteral("Progress Bar")); });
  trap.run(458, [&] { shell::msgBox(QStringLiteral("Done.")); });
  trap.run(460, [&] { running_ = false; });
}

void ConversionRun::deliver(StepTrapAdapter& trap, int previewStep, int appendStep, int executeStep,
                            const QString& statement) {
  if (trap.test(previewStep, [&] { return host_.previewMode(); })) {
    trap.run(appendStep, [&] { host_.appendPreviewLine(statement); });
  } else {
    trap.run(executeStep, [&] {
      ado::Connection* access = host_.connections().access.get();
      if (!access) throw ado::Error(91, QStringLiteral("Object variable not set"));
      access->Execute(statement);
      host_.executed(statement);
    });
  }
}

namespace {

// A queue of rows is executed when it holds this many statements or characters, or its
// first statement waited this long. Half a megabyte keeps rows with long texts in a
// small working set (the queue, the values the executor makes of it, the pages they
// fill): a first touch of memory costs more than the extra batches.
constexpr size_t kQueuedRows = 1000;
constexpr size_t kQueuedChars = size_t{1} << 19;
constexpr qint64 kQueuedMilliseconds = 250;

}  // namespace

void ConversionRun::queueRow(StepTrapAdapter& trap, std::string_view statement) {
  queued_.add(statement, rowCounter_);
  if (queued_.due(kQueuedRows, kQueuedChars, kQueuedMilliseconds)) executeQueuedRows(trap);
}

void ConversionRun::executeQueuedRows(StepTrapAdapter& trap) {
  if (queued_.empty()) return;
  // The batch leaves the queue before anything is executed or reported: a report may
  // come back here (a later step's failure executes the queue first), and must find it
  // empty.
  StatementBatch batch;
  batch.swap(queued_);
  // The whole queue is executed before the first of its failures is reported: a report
  // waits for the user, who may end the program meanwhile, and every row read before it
  // must be in the database then.
  const std::vector<StatementBatch::Failure> failures = batch.executeAll(host_.connections().access.get());
  rowsDone_ += static_cast<long>(batch.size());
  // Reported as the statement's own step would have reported it, with its row.
  for (const StatementBatch::Failure& failure : failures) {
    reportRow_ = batch.tag(failure.index);
    trap.run(406, [&] { std::rethrow_exception(failure.error); });
    reportRow_ = -1;
  }
  auto nextFailure = failures.begin();
  for (size_t i = 0; i < batch.size(); ++i) {
    if (nextFailure != failures.end() && nextFailure->index == i) {
      ++nextFailure;
      continue;
    }
    reportRow_ = batch.tag(i);
    trap.run(406, [&] { host_.executedRow(batch.statement(i)); });
    reportRow_ = -1;
  }
  // The next batch reuses the buffer, unless one was queued meanwhile.
  if (queued_.empty()) {
    batch.clear();
    queued_.swap(batch);
  }
}

void ConversionRun::finishQueuedRows() {
  StepTrapAdapter quiet(host_, *this, true);
  executeQueuedRows(quiet);
}

void ConversionRun::copyTable(StepTrapAdapter& trap, std::unique_ptr<ado::Recordset>& recordset, int index,
                              bool firstTable, bool* leaveLoop) {
  rowCounter_ = 0;
  rowsDone_ = 0;
  if (firstTable) {
    trap.run(142, [&] { host_.clearPreviewScript(); });
    trap.run(144, [&] { host_.clearDatatypeRecord(); });
  }
  trap.run(146, [&] { host_.yield(); });
  std::optional<FirstEntry> seenBefore;
  QString key;
  trap.run(148, [&] {
    currentTable_ = list1_.at(index);
    key = currentTable_.toCaseFolded();
    if (auto it = tablesSeen_.constFind(key); it != tablesSeen_.cend()) seenBefore = *it;
    if (!seenBefore) tablesSeen_.insert(key, FirstEntry::kConverted);
  });
  if (seenBefore) {
    trap.run(148, [&] { shell::msgBox(duplicateTableMessage(currentTable_, *seenBefore)); });
    trap.run(424, [&] { host_.setProgressText(QString()); });
    return;
  }
  Answer answer = Answer::kNotAsked;
  if (trap.test(150, [&] { return shell::ListContains(list2_, currentTable_); })) {
    trap.run(152, [&] {
      shell::MsgAnswer a = shell::askYesNo(QStringLiteral("Would you like to overwrite ") + currentTable_ + u'?',
                                           QStringLiteral("Overwrite?"));
      answer = a == shell::MsgAnswer::Yes ? Answer::kYes : Answer::kNo;
    });
  } else {
    trap.run(154, [&] { answer = Answer::kNotAsked; });
  }
  if (trap.test(156, [&] { return answer == Answer::kNo; })) {
    tablesSeen_.insert(key, FirstEntry::kDeclined);
  } else {
    if (trap.test(158, [&] { return host_.perTablePreview(); })) {
      trap.run(160, [&] { host_.clearPreviewScript(); });
      trap.run(162, [&] { host_.clearDatatypeRecord(); });
    }
    if (trap.test(164, [&] { return answer == Answer::kYes; })) {
      deliver(trap, 166, 168, 170, QStringLiteral("DROP TABLE `") + currentTable_ + QStringLiteral("`;"));
      trap.run(172, [&] { shell::RemoveFromList(list2_, currentTable_.toLower()); });
    }
    trap.run(174, [&] { host_.setProgressText(QStringLiteral("Please wait.. Processing table ") + currentTable_); });

    // The record set made at the start of the run serves every table.
    static ado::Recordset unset;
    ado::Recordset& rs = recordset ? *recordset : unset;
    trap.run(176, [&] {
      ado::Connection* paradox = host_.connections().paradox.get();
      if (!paradox || !recordset) throw ado::Error(91, QStringLiteral("Object variable not set"));
      rs.Open(QStringLiteral("SELECT * FROM [") + list1_.at(index) + u']', *paradox, ado::adOpenStatic,
              ado::adLockOptimistic);
    });

    // The CREATE TABLE statement, one field at a time.
    CreateTableBuilder create;
    trap.run(178, [&] { create.begin(currentTable_); });
    QString fieldName;
    trap.run(182, [&] { fieldName.clear(); });
    int fieldCount = 0, k = 0;
    auto fieldsStart = trap.loopHead(184, [&] {
      fieldCount = rs.Fields().Count();
      return fieldCount > 0;
    });
    if (fieldsStart != shell::StepTrap::LoopStart::kSkip) {
      do {
        trap.run(186, [&] { host_.yield(); });
        DatatypeRow row{currentTable_, QString(), QString(), QString()};
        int type = 0;
        trap.run(190, [&] { row.field = rs.Fields()(k).name(); });
        trap.run(192, [&] { fieldName = rs.Fields()(k).name(); });
        trap.run(194, [&] { type = rs.Fields()(k).Type(); });
        trap.run(196, [&] {
          DatatypeRow mapped = create.addField(k, fieldName, type);
          row.paradoxType = mapped.paradoxType;
          row.accessType = mapped.accessType;
        });
        trap.run(188, [&] { host_.appendDatatypeRow(row); });
        if (fieldsStart == shell::StepTrap::LoopStart::kOnce) break;
      } while (trap.advance(184, [&] { return ++k < fieldCount; }));
    }
    QString createStatement;
    trap.run(294, [&] { createStatement = create.finish(); });
    deliver(trap, 298, 300, 302, createStatement);

    copyRows(trap, rs, create.numericFields());

    // What the reader has to say about the table's text (a code page it could not use,
    // bytes that are no character), before the record set goes.
    if (rs.State() == ado::adStateOpen) {
      trap.run(412, [&] {
        for (const QString& notice : rs.Notices()) shell::msgBox(notice);
      });
    }
    trap.run(412, [&] { rs.Close(); });
    trap.run(414, [&] { host_.previewFlags().stopAfterTable = true; });
    if (trap.test(416, [&] { return host_.previewMode(); })) {
      if (trap.test(418, [&] { return host_.perTablePreview(); })) {
        trap.run(420, [&] { host_.showPreview(); });
        if (!host_.previewFlags().stopAfterTable) tablesSeen_.insert(key, FirstEntry::kSkipped);
        if (trap.test(422, [&] { return host_.previewFlags().stopAfterTable; })) {
          *leaveLoop = true;
          return;
        }
      }
    }
  }
  trap.run(424, [&] { host_.setProgressText(QString()); });
}

void ConversionRun::copyRows(StepTrapAdapter& trap, ado::Recordset& rs, const std::vector<bool>& numeric) {
  // A failed test counts as held: no rows.
  if (trap.test(306, [&] { return rs.eof() || rs.bof(); })) return;
  long recordCount = 0;
  trap.run(308, [&] { recordCount = rs.recordcount(); });
  InsertBuilder insert(rules_);
  // The field's value as NullToDefault gives it, without copying it (a memo may be long).
  static const ado::Value kNull;
  const ado::Value* value = &kNull;
  do {
    trap.run(310, [&] { host_.yield(); });
    trap.run(314, [&] { ++rowCounter_; });
    trap.run(316, [&] {
      if (recordCount + 1 == 0) throw ado::Error(11, QStringLiteral("Division by zero"));
      host_.setProgressValue((static_cast<double>(rowCounter_) + 1.0) / (static_cast<double>(recordCount) + 1.0) *
                             100.0);
    });
    trap.run(318, [&] { insert.begin(currentTable_, &numeric); });
    int fieldCount = 0, k = 0;
    auto start = trap.loopHead(320, [&] {
      fieldCount = rs.Fields().Count();
      return fieldCount > 0;
    });
    if (start != shell::StepTrap::LoopStart::kSkip) {
      do {
        trap.run(322, [&] { host_.yield(); });
        trap.run(324, [&] {
          const ado::Value& v = rs.Fields()(k).Value();
          value = v.isNull() ? &kNull : &v;
        });
        trap.run(326, [&] { insert.appendValue(k, *value); });
        if (start == shell::StepTrap::LoopStart::kOnce) break;
      } while (trap.advance(320, [&] { return ++k < fieldCount; }));
    }
    std::string_view statement;
    trap.run(390, [&] { statement = insert.finish(); });
    if (trap.test(394, [&] { return host_.previewMode(); })) {
      trap.run(396, [&] { host_.appendPreviewRow(statement); });
      rowsDone_ = rowCounter_;
    } else {
      queueRow(trap, statement);
    }
    trap.run(408, [&] { rs.MoveNext(); });
  } while (trap.advance(410, [&] { return !rs.eof(); }));
  executeQueuedRows(trap);
  queued_.release();  // the next table's rows may be of another size
}

QString duplicateTableMessage(const QString& table, FirstEntry first) {
  const QString found = QStringLiteral("The Paradox table ") + table +
                        QStringLiteral(" was found more than once in the folder and its sub-folders. ");
  switch (first) {
    case FirstEntry::kDeclined:
      return found + QStringLiteral(
                         "You chose not to overwrite it, so it is not converted; the table found again is "
                         "skipped as well.");
    case FirstEntry::kSkipped:
      return found + QStringLiteral(
                         "You skipped it in the SQL preview, so it is not converted; the table found again "
                         "is skipped as well.");
    case FirstEntry::kConverted: break;
  }
  return found + QStringLiteral("It is converted once, from the table found first; the table found again is skipped.");
}

}  // namespace qv::engine
