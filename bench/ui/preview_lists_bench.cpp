// The preview window's lists at scale, offscreen: N lines (default a million) appended to
// the preview script and N rows to the datatype conversion record, then the window shown,
// scrolled to the end and back, a line ticked, find and replace over all lines, and the
// ticked lines copied. Each figure is the time of one operation.
//
//   QT_QPA_PLATFORM=offscreen bench_ui_preview_lists [--lines N]

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/messages.h"
#include "ui/preview/checked_rows_copy.h"
#include "ui/preview/form2.h"
#include "ui/preview/form3.h"
#include "ui/preview/modal_display.h"
#include "ui/preview/preview_windows.h"
#include "ui/preview/report_list_model.h"

namespace {

double ms(QElapsedTimer& t) {
  const double v = static_cast<double>(t.nsecsElapsed()) / 1e6;
  t.restart();
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 1'000'000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--lines") == 0 && i + 1 < argc) lines = std::atoi(argv[++i]);
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  qv::shell::RecordingMessages boxes;
  qv::engine::PreviewFlags flags;
  qv::ui::PreviewEnvironment env;
  env.flags = &flags;
  qv::ui::PreviewWindows windows(env);

  QStringList statements;
  statements.reserve(lines);
  for (int i = 0; i < lines; ++i) {
    statements
        << QStringLiteral("INSERT INTO `BIG` VALUES (%1, 'Customer %2', 12.5, 'Oslo');").arg(i + 1).arg(i % 1000);
  }
  QElapsedTimer t;
  t.start();
  windows.clearScript();
  windows.clearDatatypeRecord();
  for (const QString& statement : statements) windows.appendScriptLine(statement);
  std::printf("append %d script lines: %.0f ms\n", lines, ms(t));
  const qv::engine::DatatypeRow row{QStringLiteral("BIG"), QStringLiteral("FIELD"), QStringLiteral("char"),
                                    QStringLiteral("TEXT")};
  for (int i = 0; i < lines; ++i) windows.appendDatatypeRow(row);
  std::printf("append %d record rows: %.0f ms\n", lines, ms(t));

  qv::ui::setModalRunner([&](QDialog& window) {
    auto& w = static_cast<qv::ui::Form2&>(window);
    QElapsedTimer op;
    op.start();
    QCoreApplication::processEvents();
    std::printf("show and paint the preview: %.0f ms\n", ms(op));
    w.ListView1->scrollToBottom();
    QCoreApplication::processEvents();
    std::printf("scroll to the last line and paint: %.0f ms\n", ms(op));
    w.ListView1->verticalScrollBar()->setValue(lines / 2);
    QCoreApplication::processEvents();
    std::printf("scroll to the middle and paint: %.0f ms\n", ms(op));
    w.script().setData(w.script().index(lines - 1, 0), Qt::Checked, Qt::CheckStateRole);
    w.script().setChecked(0, true);
    QCoreApplication::processEvents();
    std::printf("tick two lines and paint: %.0f ms\n", ms(op));
    const QString text = qv::ui::checkedRowsText(w.script());
    std::printf("text of the ticked lines (%lld chars): %.0f ms\n", static_cast<long long>(text.size()), ms(op));
    qv::ui::setModalRunner([](QDialog& d) {
      if (auto* f = qobject_cast<qv::ui::Form3*>(&d)) {
        f->Text1->setText(QStringLiteral("Oslo"));
        f->Text2->setText(QStringLiteral("Bergen"));
        f->PushButton2->click();
      } else {
        d.close();
      }
    });
    op.restart();
    w.PushButton3->click();
    std::printf("find and replace over every line: %.0f ms\n", ms(op));
    w.close();
  });
  windows.showPreview();
  return 0;
}
