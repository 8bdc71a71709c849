#include "shell/checked_rows_text.h"

#include <algorithm>

#include "shell/event_yield.h"

namespace qv::shell {

QString CheckedRowsText(const CheckedRowsSource& source) {
  const int rows = source.rowCount;
  const int columns = source.columnCount;
  if (rows <= 0 || columns <= 0) return QString();
  std::vector<qsizetype> widths(static_cast<size_t>(columns), 0);
  for (int c = 0; c < columns; ++c) {
    qsizetype& width = widths[static_cast<size_t>(c)];
    for (int r = 0; r < rows; ++r) {
      YieldToUi();
      width = std::max(width, source.text(r, c).size());
    }
  }
  QString out;
  QString line;
  for (int r = 0; r < rows; ++r) {
    YieldToUi();
    if (!source.isChecked(r)) continue;
    line.clear();
    for (int c = 0; c < columns; ++c) {
      const QString cell = source.text(r, c);
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

QString CheckedRowsText(const std::vector<ListRow>& rows, int columnCount) {
  CheckedRowsSource source;
  source.rowCount = static_cast<int>(rows.size());
  source.columnCount = columnCount;
  source.isChecked = [&rows](int r) { return rows[static_cast<size_t>(r)].checked; };
  source.text = [&rows](int r, int c) {
    const QStringList& cells = rows[static_cast<size_t>(r)].cells;
    return c < cells.size() ? cells.at(c) : QString();
  };
  return CheckedRowsText(source);
}

}  // namespace qv::shell
