#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <vector>

#include "recording/ReadingHistory.h"

namespace rheo {

// The rows of the reading list: a copy of the reading history in list order, taken at every
// Rebuild. No rows until the first rebuild; twenty from then on.
class ReadingListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kColumns = 9;
    // Titles at load time, and widths in pixels, of the nine columns.
    static const std::array<const char*, kColumns> kTitles;
    static const std::array<int, kColumns> kWidths;
    // The widest values that must show whole (empty where a column may cut its text).
    static const std::array<const char*, kColumns> kWidestValues;

    explicit ReadingListModel(QObject* parent = nullptr);

    void Rebuild(const ReadingHistory& history);
    void SetColumnTitle(int column, const QString& title);  // column 1 to 9

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    std::array<QString, kColumns> titles_;
    std::vector<std::array<QString, kColumns>> rows_;
};

}  // namespace rheo
