#include "ui/preview/form2.h"

#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <exception>
#include <stdexcept>

#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "engine/statement_batch.h"
#include "shell/error_report.h"
#include "shell/event_yield.h"
#include "shell/main_helpers.h"
#include "shell/messages.h"
#include "shell/step_trap.h"
#include "shell/url_opener.h"
#include "ui/clipboard.h"
#include "ui/preview/checked_rows_copy.h"
#include "ui/preview/form3.h"
#include "ui/preview/form4.h"
#include "ui/preview/form5.h"
#include "ui/preview/modal_display.h"
#include "ui/preview/preview_texts.h"
#include "ui/preview/preview_windows.h"
#include "ui/preview/progress_display.h"
#include "ui/preview/report_list_model.h"
#include "ui/preview/twips.h"

namespace qv::ui {

namespace {

shell::StepTrap trapOf(const char* procedure) {
  return shell::StepTrap(shell::locationString(QStringLiteral("Form2"), QLatin1String(procedure)));
}

QPushButton* button(QWidget* parent, const char* caption, int left, int top, int width, int height) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  placeTwips(b, left, top, width, height);
  return b;
}

}  // namespace

Form2::Form2(PreviewWindows& windows, QWidget* owner) : QDialog(owner), windows_(windows) {
  buildControls();
  Form_Load();
}

Form2::~Form2() = default;

void Form2::buildControls() {
  setClientTwips(this, 8040, 8430);
  PushButton5 = button(this, "< Back", 120, 120, 3720, 405);
  PushButton9 = button(this, "Skip Table / Do Not Execute SQL", 3960, 120, 3960, 405);
  ListView1 = new QTreeView(this);
  placeTwips(ListView1, 120, 630, 7800, 3315);
  ListView1->setToolTip(
      QStringLiteral("Click item to edit it. Move | line to right and out of window to reveal full names."));
  ListView1->setRootIsDecorated(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setItemsExpandable(false);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->header()->setStretchLastSection(false);
  PushButton1 = button(this, "Execute SQL", 120, 4040, 7800, 405);
  PushButton3 = button(this, "Find and Replace", 120, 4550, 3840, 405);
  PushButton2 = button(this, "Copy SQL To Clipboard", 4080, 4550, 3840, 405);
  Frame2 = new QGroupBox(QStringLiteral("Error:"), this);
  placeTwips(Frame2, 120, 5010, 7800, 1785);
  Text1 = new QPlainTextEdit(Frame2);
  placeTwips(Text1, 240, 300, 7320, 1290);
  Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  PushButton6 = button(this, "Jump To Error Line", 120, 6900, 3840, 405);
  PushButton4 = button(this, "Copy Error Message To Clipboard", 4080, 6900, 3840, 405);
  PushButton8 = button(this, "Email Error Message To Varnholt", 120, 7410, 3840, 405);
  PushButton7 = button(this, "View Datatype Conversion", 4080, 7410, 3840, 405);
  ProgressBar1 = new QProgressBar(this);
  placeTwips(ProgressBar1, 120, 7920, 7800, 405);
  progress_ = new ProgressDisplay(ProgressBar1, this);
  progress_->setText(QStringLiteral("Progress Bar"));
  progress_->flush();

  connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
  connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
  connect(PushButton3, &QPushButton::clicked, this, &Form2::PushButton3_Click);
  connect(PushButton4, &QPushButton::clicked, this, &Form2::PushButton4_Click);
  connect(PushButton5, &QPushButton::clicked, this, &Form2::PushButton5_Click);
  connect(PushButton6, &QPushButton::clicked, this, &Form2::PushButton6_Click);
  connect(PushButton7, &QPushButton::clicked, this, &Form2::PushButton7_Click);
  connect(PushButton8, &QPushButton::clicked, this, &Form2::PushButton8_Click);
  connect(PushButton9, &QPushButton::clicked, this, &Form2::PushButton9_Click);
  // A click on a tick box ticks the line; any other click on a line edits it.
  connect(ListView1, &QAbstractItemView::pressed, this, [this] { checkToggled_ = false; });
  connect(ListView1, &QAbstractItemView::clicked, this, [this] {
    if (checkToggled_) {
      checkToggled_ = false;
      return;
    }
    ListView1_Click();
  });

  // No button is the default: Enter presses none of them (the window closes only by its
  // commands and its close box).
  for (QPushButton* b : findChildren<QPushButton*>()) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  followPointer(pointer_, this,
                {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6, PushButton7, PushButton8,
                 PushButton9},
                {this, Frame2, ListView1->viewport()});
}

void Form2::Form_Load() {
  shell::StepTrap trap = trapOf("Form_Load");
  trap.run(100, [&] { ApplySystemColors(this); });
  trap.run(104, [&] { setWindowIcon(QApplication::windowIcon()); });
  trap.run(106, [&] { setWindowTitle(QStringLiteral("SQL Preview - ") + QLatin1String(shell::kProductName)); });
  const QString cursorFile = handCursorPath(windows_.environment().programFolder);
  if (trap.test(108, [&] { return shell::FileExists(cursorFile); })) {
    trap.run(110, [&] { pointer_.setCustomCursor(loadCursorFile(cursorFile)); });
  }
  trap.run(112, [&] {
    auto* model = new ReportListModel(true, this);
    model->addColumn(QStringLiteral("SQL Preview"));
    ListView1->setModel(model);
    script_ = model;
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
              if (roles.contains(Qt::CheckStateRole)) checkToggled_ = true;
            });
  });
  trap.run(114, [&] { ListView1->setColumnWidth(0, twips(7000)); });
}

ReportListModel& Form2::script() const {
  if (!script_) throw ado::Error(91, QStringLiteral("Object variable or With block variable not set"));
  return *script_;
}

int Form2::selectedLine() const {
  const QModelIndex current = ListView1->selectionModel() ? ListView1->selectionModel()->currentIndex() : QModelIndex();
  if (!current.isValid() || !ListView1->selectionModel()->isRowSelected(current.row(), QModelIndex())) return 0;
  return current.row() + 1;
}

void Form2::selectLine(int line) {
  if (line < 1 || line > script().count()) throw std::out_of_range("Index out of bounds");
  script().publish();
  const QModelIndex at = script().index(line - 1, 0);
  ListView1->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void Form2::showLine(int line) {
  if (line < 1 || line > script().count()) throw std::out_of_range("Index out of bounds");
  script().publish();
  ListView1->scrollTo(script().index(line - 1, 0), QAbstractItemView::EnsureVisible);
}

void Form2::showEvent(QShowEvent* event) {
  if (script_) script_->publish();
  QDialog::showEvent(event);
}

void Form2::done(int result) {
  closed_ = true;
  QDialog::done(result);
}

void Form2::keyPressEvent(QKeyEvent* event) {
  // Escape would close the window as "< Back" does; the window has no such way out.
  if (event->matches(QKeySequence::Cancel)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// Execute SQL. Every failure goes first to the SQL-error test: a statement the database
// rejected marks its line, shows the message in the error box and ends the command; any
// other failure is an Application Error, after which the next step (the next line) runs.
//
// The lines go to the database in batches (a thousand lines, four million characters, or
// what a tenth of a second gathers), which lets it write a run of rows at once. Each line keeps its own outcome:
// a rejected line is the one marked, the lines before it are in the database and the
// lines after it are not run.
void Form2::PushButton1_Click() {
  int r = 0;
  int reportLine = -1;  // while a batched line's failure is reported: its line
  bool sqlError = false;
  shell::StepTrap trap(shell::locationString(QStringLiteral("Form2"), QStringLiteral("PushButton1_Click")),
                       [&](const QString& location, int step, const QString& description) {
                         if (!isSqlError(description)) {
                           shell::reportApplicationError(location, step, description);
                           return;
                         }
                         sqlError = true;
                         ErrorLine = reportLine >= 0 ? reportLine : r;
                         try {
                           selectLine(ErrorLine);
                           showLine(ErrorLine);
                         } catch (...) {
                           // The line is gone (the window was emptied meanwhile): the message still shows.
                         }
                         errorText_.show(*Text1, description);
                         pointer_.set(kPointerDefault);
                         progress_->setValue(0);
                         progress_->setText(QStringLiteral("Progress Bar"));
                         shell::msgBox(QStringLiteral("Error found."));
                       });
  engine::StatementBatch queued;  // each line tagged with its number
  auto runQueued = [&] {
    if (queued.empty()) return;
    engine::StatementBatch batch;
    batch.swap(queued);
    const auto connection = [this]() -> ado::Connection& { return windows_.accessConnection(); };
    batch.execute(connection, [&](size_t i, const std::exception_ptr& failure) {
      const std::string_view text = batch.statement(i);
      const bool insert = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                              .contains(QStringLiteral("INSERT INTO"), Qt::CaseInsensitive);
      reportLine = static_cast<int>(batch.tag(i));
      trap.run(insert ? 132 : 134, [&] { std::rethrow_exception(failure); });
      reportLine = -1;
      return !sqlError;
    });
  };
  if (!trap.test(104, [&] { return script().count() > 0; })) {
    trap.run(148, [&] { shell::msgBox(QStringLiteral("No SQL to run.")); });
    return;
  }
  trap.run(106, [&] { pointer_.set(kPointerBusy); });
  int n = 0;
  const auto start = trap.loopHead(110, [&] {
    n = script().count();
    r = 1;
    return r <= n;
  });
  if (sqlError) return;
  if (start != shell::StepTrap::LoopStart::kSkip) {
    if (start == shell::StepTrap::LoopStart::kOnce) r = 1;
    do {
      trap.run(112, [&] { shell::YieldToUi(); });
      // Closed under the running command ("< Back" or the close box while events were
      // processed): the lines passed so far are executed, nothing more, and the flags
      // stay as they are.
      if (closed_) {
        runQueued();
        return;
      }
      trap.run(114,
               [&] { progress_->setValue(static_cast<double>(r) / static_cast<double>(script().count()) * 100.0); });
      trap.run(116, [&] { progress_->setText(executeProgressText(r, script().count())); });
      bool statement = false;
      QString text;
      trap.run(118, [&] {
        text = script().text(r - 1);
        statement = !isBlankText(text);
      });
      if (statement && !sqlError) {
        queued.add(text, r);
        if (queued.due(1000, size_t{4} << 20, 100)) runQueued();
      }
      if (sqlError) return;
      if (start == shell::StepTrap::LoopStart::kOnce) break;
    } while (trap.advance(136, [&] { return ++r <= n; }));
  }
  runQueued();
  if (sqlError) return;
  trap.run(138, [&] {
    windows_.flags().sqlFormOK = true;
    pointer_.set(kPointerDefault);
  });
  trap.run(140, [&] { progress_->setValue(0); });
  trap.run(142, [&] { progress_->setText(QStringLiteral("Progress Bar")); });
  trap.run(146, [&] { close(); });
}

void Form2::PushButton2_Click() {
  shell::StepTrap trap = trapOf("PushButton2_Click");
  trap.run(106, [&] { CopyCheckedRowsToClipboard(script()); });
  trap.run(108, [&] { shell::msgBox(sqlCopiedMessage()); });
}

void Form2::PushButton3_Click() {
  shell::StepTrap trap = trapOf("PushButton3_Click");
  trap.run(100, [&] {
    Form3 dialog(script(), windows_.environment().programFolder, this);
    showModal(dialog);
  });
}

void Form2::PushButton4_Click() {
  shell::StepTrap trap = trapOf("PushButton4_Click");
  if (trap.test(100, [&] { return !isBlankText(errorText_.text(*Text1)); })) {
    trap.run(102, [&] { ClearClipboard(); });
    trap.run(104, [&] { SetClipboardText(errorText_.text(*Text1)); });
    trap.run(106, [&] { shell::msgBox(errorCopiedMessage()); });
  }
}

void Form2::PushButton5_Click() {
  shell::StepTrap trap = trapOf("PushButton5_Click");
  trap.run(100, [&] { close(); });
}

void Form2::PushButton6_Click() {
  shell::StepTrap trap = trapOf("PushButton6_Click");
  if (trap.test(100, [&] { return script().count() > 0; })) {
    if (trap.test(102, [&] { return ErrorLine > 0; })) {
      trap.run(104, [&] { selectLine(ErrorLine); });
      trap.run(106, [&] { showLine(ErrorLine); });
    }
  }
}

void Form2::PushButton7_Click() {
  shell::StepTrap trap = trapOf("PushButton7_Click");
  trap.run(100, [&] { windows_.showDatatypeView(this); });
}

void Form2::PushButton8_Click() {
  shell::StepTrap trap = trapOf("PushButton8_Click");
  if (trap.test(100, [&] { return !isBlankText(errorText_.text(*Text1)); })) {
    QString link;
    trap.run(102, [&] { link = errorMailLink(errorText_.text(*Text1)); });
    trap.run(104, [&] {
      try {
        shell::OpenUrl(link);
      } catch (...) {
        // The desktop's answer is not examined.
      }
    });
  }
}

void Form2::PushButton9_Click() {
  shell::StepTrap trap = trapOf("PushButton9_Click");
  trap.run(100, [&] { windows_.flags().stopAfterTable = false; });
  trap.run(102, [&] { close(); });
}

void Form2::ListView1_Click() {
  const int line = selectedLine();
  if (line <= 0) return;  // a click beside the lines selects nothing
  Form4 editor(script(), windows_.environment().programFolder, this);
  editor.ListLine = line;
  editor.setLineText(script().text(line - 1));
  showModal(editor);
}

}  // namespace qv::ui
