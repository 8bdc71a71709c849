#include "ui/preview/checked_rows_copy.h"

#include <algorithm>
#include <vector>

#include "shell/event_yield.h"
#include "ui/clipboard.h"
#include "ui/preview/report_list_model.h"

namespace qv::ui {

QString checkedRowsText(const ReportListModel& view) {
  const int rows = view.count();
  const int columns = view.columnCount();
  std::vector<qsizetype> widths(static_cast<size_t>(std::max(columns, 0)), 0);
  for (int c = 0; c < columns; ++c) {
    qsizetype& width = widths[static_cast<size_t>(c)];
    for (int r = 0; r < rows; ++r) {
      shell::YieldToUi();
      width = std::max(width, view.text(r, c).size());
    }
  }
  QString out;
  QString line;
  for (int r = 0; r < rows; ++r) {
    shell::YieldToUi();
    if (!view.isChecked(r)) continue;
    line.clear();
    for (int c = 0; c < columns; ++c) {
      shell::YieldToUi();
      const QString& cell = view.text(r, c);
      line += cell;
      for (qsizetype pad = widths[static_cast<size_t>(c)] - cell.size(); pad > 0; --pad) line += u' ';
      line += u'\t';
    }
    line.chop(1);
    qsizetype end = line.size();
    while (end > 0 && line.at(end - 1) == u' ') --end;
    out += QStringView(line).left(end);
    out += QStringLiteral("\r\n");
  }
  return out;
}

void CopyCheckedRowsToClipboard(const ReportListModel& view) {
  if (view.count() == 0) return;
  const QString text = checkedRowsText(view);
  ClearClipboard();
  SetClipboardText(text);
}

}  // namespace qv::ui
