#include "monitor/ReadingListModel.h"

#include "platform/qt/QtText.h"

namespace rheo {
namespace {

// A cell shows at most this many characters, as a Windows list view does; a longer value
// (the decoder takes up to 4096) is cut for display only, and the session file keeps it whole.
constexpr std::size_t kCellCharacters = 259;

QString Cell(const Text& value) {
    return ToQString(std::string_view(value).substr(0, kCellCharacters));
}

}  // namespace

const std::array<const char*, ReadingListModel::kColumns> ReadingListModel::kTitles = {
    "Date", "Hour", "Spindle", "RPM", "Temp", "Error T", "Viscosity", "Error V", "%"};
const std::array<int, ReadingListModel::kColumns> ReadingListModel::kWidths = {53, 40, 33, 20, 47,
                                                                               33, 87, 40, 20};
const std::array<const char*, ReadingListModel::kColumns> ReadingListModel::kWidestValues = {
    "07/12/2026", "00:34:12", "", "200", "", "", "", "", "100.0"};

ReadingListModel::ReadingListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (int column = 0; column < kColumns; ++column) {
        titles_[column] = QString::fromLatin1(kTitles[column]);
    }
}

void ReadingListModel::Rebuild(const ReadingHistory& history) {
    beginResetModel();
    rows_.clear();
    for (const Reading* reading : MonitorRows(history)) {
        rows_.push_back({Cell(reading->Date), Cell(reading->Hour), Cell(reading->Spindle),
                         Cell(reading->Rpm), Cell(reading->Temperature),
                         Cell(reading->TemperatureError), Cell(reading->Viscosity),
                         Cell(reading->ViscosityError), Cell(reading->Torque)});
    }
    endResetModel();
}

void ReadingListModel::SetColumnTitle(int column, const QString& title) {
    if (column < 1 || column > kColumns) {
        return;
    }
    titles_[column - 1] = title;
    emit headerDataChanged(Qt::Horizontal, column - 1, column - 1);
}

int ReadingListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ReadingListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant ReadingListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= kColumns) {
        return {};
    }
    return rows_[static_cast<std::size_t>(index.row())][index.column()];
}

QVariant ReadingListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns) {
        return {};
    }
    return titles_[section];
}

Qt::ItemFlags ReadingListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

}  // namespace rheo
