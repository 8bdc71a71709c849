#include "shell/checked_rows_text.h"

#include <algorithm>

#include "shell/event_yield.h"

namespace qv::shell {

QString CheckedRowsText(const std::vector<ListRow>& rows, int columnCount) {
  if (rows.empty() || columnCount <= 0) return QString();
  auto cell = [](const ListRow& row, int column) {
    return column < row.cells.size() ? row.cells.at(column) : QString();
  };
  std::vector<qsizetype> widths(static_cast<size_t>(columnCount), 0);
  for (int column = 0; column < columnCount; ++column) {
    for (const ListRow& row : rows) {
      YieldToUi();
      widths[static_cast<size_t>(column)] = std::max(widths[static_cast<size_t>(column)], cell(row, column).size());
    }
  }
  QString text;
  for (const ListRow& row : rows) {
    YieldToUi();
    if (!row.checked) continue;
    QString line;
    for (int column = 0; column < columnCount; ++column) {
      line += cell(row, column).leftJustified(widths[static_cast<size_t>(column)], u' ');
      line += u'\t';
    }
    line.chop(1);
    qsizetype end = line.size();
    while (end > 0 && line.at(end - 1) == u' ') --end;
    line.truncate(end);
    text += line + QStringLiteral("\r\n");
  }
  return text;
}

}  // namespace qv::shell
