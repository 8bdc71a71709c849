#include "ui/preview/report_list_model.h"

#include <QTimer>
#include <stdexcept>

namespace qv::ui {

ReportListModel::ReportListModel(bool checkable, QObject* parent) : QAbstractTableModel(parent), checkable_(checkable) {}

void ReportListModel::addColumn(const QString& heading) {
  const int column = columnCount();
  beginInsertColumns(QModelIndex(), column, column);
  headings_ << heading;
  columns_.emplace_back(checked_.size());
  endInsertColumns();
}

int ReportListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : published_; }

int ReportListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= count() || index.column() >= columnCount()) return {};
  if (role == Qt::DisplayRole || role == Qt::EditRole) {
    return columns_[static_cast<size_t>(index.column())][static_cast<size_t>(index.row())];
  }
  if (role == Qt::CheckStateRole && checkable_ && index.column() == 0) {
    return checked_[static_cast<size_t>(index.row())] ? Qt::Checked : Qt::Unchecked;
  }
  return {};
}

bool ReportListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= published_) return false;
  if (role == Qt::CheckStateRole && checkable_ && index.column() == 0) {
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
  }
  return false;
}

Qt::ItemFlags ReportListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (checkable_ && index.column() == 0) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < headings_.size()) {
    return headings_.at(section);
  }
  return {};
}

void ReportListModel::clear() {
  if (checked_.empty()) return;
  beginResetModel();
  for (auto& column : columns_) std::vector<QString>().swap(column);
  std::vector<unsigned char>().swap(checked_);
  published_ = 0;
  endResetModel();
}

void ReportListModel::publish() {
  publishPending_ = false;
  if (published_ >= count()) return;
  // The new rows are stored already; rowCount() reports them from endInsertRows on.
  beginInsertRows(QModelIndex(), published_, count() - 1);
  published_ = count();
  endInsertRows();
}

void ReportListModel::append(const QString& text, const QStringList& subItems) {
  if (!publishPending_) {
    publishPending_ = true;
    QTimer::singleShot(0, this, &ReportListModel::publish);
  }
  for (size_t c = 0; c < columns_.size(); ++c) {
    if (c == 0) {
      columns_[c].push_back(text);
    } else {
      columns_[c].push_back(static_cast<qsizetype>(c - 1) < subItems.size() ? subItems.at(static_cast<qsizetype>(c - 1))
                                                                          : QString());
    }
  }
  checked_.push_back(0);
}

void ReportListModel::requireRow(int row) const {
  if (row < 0 || row >= count()) throw std::out_of_range("row out of range");
}

const QString& ReportListModel::text(int row, int column) const {
  requireRow(row);
  if (column < 0 || static_cast<size_t>(column) >= columns_.size()) throw std::out_of_range("column out of range");
  return columns_[static_cast<size_t>(column)][static_cast<size_t>(row)];
}

void ReportListModel::setText(int row, int column, const QString& value) {
  requireRow(row);
  if (column < 0 || static_cast<size_t>(column) >= columns_.size()) throw std::out_of_range("column out of range");
  columns_[static_cast<size_t>(column)][static_cast<size_t>(row)] = value;
  if (row >= published_) return;
  const QModelIndex at = index(row, column);
  emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
}

bool ReportListModel::isChecked(int row) const {
  requireRow(row);
  return checked_[static_cast<size_t>(row)] != 0;
}

void ReportListModel::setChecked(int row, bool checked) {
  requireRow(row);
  checked_[static_cast<size_t>(row)] = checked ? 1 : 0;
  if (row >= published_) return;
  const QModelIndex at = index(row, 0);
  emit dataChanged(at, at, {Qt::CheckStateRole});
}

}  // namespace qv::ui
