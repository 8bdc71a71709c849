#include "ui/preview/report_list_model.h"

#include <QTimer>
#include <stdexcept>

namespace qv::ui {

ReportListModel::ReportListModel(bool checkable, QObject* parent)
    : QAbstractTableModel(parent), checkable_(checkable) {}

void ReportListModel::addColumn(const QString& heading) {
  const int column = columnCount();
  beginInsertColumns(QModelIndex(), column, column);
  headings_ << heading;
  columns_.emplace_back();
  for (size_t i = 0; i < checked_.size(); ++i) columns_.back().append({});
  endInsertColumns();
}

int ReportListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : published_; }

int ReportListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= count() || index.column() >= columnCount()) return {};
  if (role == Qt::DisplayRole || role == Qt::EditRole) {
    const std::string t = columns_[static_cast<size_t>(index.column())].at(static_cast<size_t>(index.row()));
    return QString::fromStdString(t);
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
  for (auto& column : columns_) column.clear();
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

void ReportListModel::notePublish() {
  if (!publishPending_) {
    publishPending_ = true;
    QTimer::singleShot(0, this, &ReportListModel::publish);
  }
}

void ReportListModel::append(const QString& text, const QStringList& subItems) {
  notePublish();
  for (size_t c = 0; c < columns_.size(); ++c) {
    const QString& cell = c == 0                                            ? text
                          : static_cast<qsizetype>(c - 1) < subItems.size() ? subItems.at(static_cast<qsizetype>(c - 1))
                                                                            : QString();
    const QByteArray utf8 = cell.toUtf8();
    columns_[c].append(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
  }
  checked_.push_back(0);
}

void ReportListModel::appendUtf8(std::string_view text) {
  notePublish();
  for (size_t c = 0; c < columns_.size(); ++c) columns_[c].append(c == 0 ? text : std::string_view());
  checked_.push_back(0);
}

void ReportListModel::requireRow(int row) const {
  if (row < 0 || row >= count()) throw std::out_of_range("row out of range");
}

const Utf8TextStore& ReportListModel::column(int column) const {
  if (column < 0 || static_cast<size_t>(column) >= columns_.size()) throw std::out_of_range("column out of range");
  return columns_[static_cast<size_t>(column)];
}

QString ReportListModel::text(int row, int column) const { return QString::fromStdString(utf8(row, column)); }

std::string ReportListModel::utf8(int row, int column) const {
  requireRow(row);
  return this->column(column).at(static_cast<size_t>(row));
}

void ReportListModel::setText(int row, int column, const QString& value) {
  requireRow(row);
  if (column < 0 || static_cast<size_t>(column) >= columns_.size()) throw std::out_of_range("column out of range");
  const QByteArray utf8 = value.toUtf8();
  columns_[static_cast<size_t>(column)].set(static_cast<size_t>(row),
                                            std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
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
