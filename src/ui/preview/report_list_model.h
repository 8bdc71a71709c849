#pragma once
// The rows of a report-view list (a list control with column headings): the preview
// script of the SQL preview window and the datatype conversion record are held here.
// Rows are numbered from 1 in the windows' code; the model's own rows count from 0.
// Each column's texts are kept in one compact UTF-8 store (a million statements cost
// less than their bytes), and every row has the same height, which lets the views
// lay out and scroll instantly. The views get a row's text as a QString when they show it.
// Rows appended are shown to the views in batches: the program sees them at once (count,
// text), the views the next time events are processed or when publish() is called, so
// appending a row costs no more than storing it.

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "ui/preview/utf8_text_store.h"

namespace qv::ui {

class ReportListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // checkable: every row shows a tick box in its first column (unticked when added).
  // The list starts without columns; the window's loading adds them.
  explicit ReportListModel(bool checkable, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  const QStringList& headings() const { return headings_; }
  // Adds a column at the right; its texts in existing rows are empty.
  void addColumn(const QString& heading);
  bool checkable() const { return checkable_; }

  // The number of rows.
  int count() const { return static_cast<int>(checked_.size()); }
  // Tells the views about every row appended since the last time.
  void publish();
  // Removes every row.
  void clear();
  // Adds one row at the end: its text (column 1) and its sub-items (columns 2 ...).
  void append(const QString& text, const QStringList& subItems = {});
  // Adds one row whose first column is the UTF-8 text (sub-items empty).
  void appendUtf8(std::string_view text);
  // The texts of a row, 0-based row and column; throws std::out_of_range outside the list.
  QString text(int row, int column = 0) const;
  // The same as UTF-8.
  std::string utf8(int row, int column = 0) const;
  void setText(int row, int column, const QString& text);
  bool isChecked(int row) const;
  void setChecked(int row, bool checked);

 private:
  void requireRow(int row) const;
  const Utf8TextStore& column(int column) const;
  void notePublish();

  QStringList headings_;
  bool checkable_;
  std::vector<Utf8TextStore> columns_;
  std::vector<unsigned char> checked_;
  int published_ = 0;  // rows the views know of
  bool publishPending_ = false;
};

}  // namespace qv::ui
