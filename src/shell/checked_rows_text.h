#pragma once
// The text that copying the checked rows of a list view puts on the clipboard: the
// checked rows, one per line (CR LF), their cells padded with blanks to the width of
// their column over ALL rows (checked or not), separated by a tab; the last cell of a
// row and the row's trailing blanks are not padded.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace qv::shell {

struct ListRow {
  bool checked = false;
  QStringList cells;  // column 1 first; a missing cell counts as empty
};

// A list as the copy sees it, whatever widget or model holds it.
struct CheckedRowsSource {
  int rowCount = 0;
  int columnCount = 0;
  std::function<bool(int row)> isChecked;
  std::function<QString(int row, int column)> text;
};

QString CheckedRowsText(const CheckedRowsSource& source);
QString CheckedRowsText(const std::vector<ListRow>& rows, int columnCount);

}  // namespace qv::shell
