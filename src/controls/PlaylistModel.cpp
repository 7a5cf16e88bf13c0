#include "controls/PlaylistModel.h"

#include <QFont>

QString TPlaylistModel::PlayingDescription() {
    return QStringLiteral("playing");
}

TPlaylistModel::TPlaylistModel(QObject *AParent) : QAbstractTableModel(AParent) {}

void TPlaylistModel::SetPlaylist(const TPlaylist *APlaylist) {
    const int count = APlaylist != nullptr ? static_cast<int>(APlaylist->size()) : 0;
    if (count == FRows) {
        FPlaylist = APlaylist;
        if (FRows > 0)
            Q_EMIT dataChanged(index(0, 0), index(FRows - 1, colCount - 1));
        return;
    }
    beginResetModel();
    FPlaylist = APlaylist;
    FRows = count;
    endResetModel();
}

void TPlaylistModel::SetPlaylistPos(int APlaylistPos) {
    if (APlaylistPos == FPlaylistPos)
        return;
    const int old = FPlaylistPos;
    FPlaylistPos = APlaylistPos;
    RowChanged(old - 1);
    RowChanged(FPlaylistPos - 1);
}

void TPlaylistModel::RowChanged(int ARow) {
    if (ARow >= 0 && ARow < FRows)
        Q_EMIT dataChanged(index(ARow, 0), index(ARow, colCount - 1),
                           {Qt::FontRole, Qt::AccessibleDescriptionRole});
}

int TPlaylistModel::rowCount(const QModelIndex &AParent) const {
    return AParent.isValid() ? 0 : FRows;
}

int TPlaylistModel::columnCount(const QModelIndex &AParent) const {
    return AParent.isValid() ? 0 : colCount;
}

QVariant TPlaylistModel::data(const QModelIndex &AIndex, int ARole) const {
    if (!AIndex.isValid() || FPlaylist == nullptr || AIndex.row() >= FRows)
        return {};
    const TPlaylistItem &item = (*FPlaylist)[static_cast<size_t>(AIndex.row())];
    if (ARole == Qt::DisplayRole || ARole == Qt::AccessibleTextRole) {
        switch (AIndex.column()) {
        case colPos:
            return QString::number(AIndex.row() + 1);
        case colStartTime:
            return item.StartTime;
        case colTitle:
            return item.Title;
        case colDuration:
            return item.Duration;
        default:
            return {};
        }
    }
    if (AIndex.row() + 1 != FPlaylistPos)
        return {};
    if (ARole == Qt::FontRole) {
        QFont font;
        font.setBold(true);
        return font;
    }
    // Bold is lost on someone who cannot see it: every cell of the row on
    // air says so to a screen reader.
    if (ARole == Qt::AccessibleDescriptionRole)
        return PlayingDescription();
    return {};
}

QVariant TPlaylistModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const {
    if (AOrientation != Qt::Horizontal || ARole != Qt::DisplayRole)
        return {};
    switch (ASection) {
    case colPos:
        return QStringLiteral("#");
    case colStartTime:
        return QStringLiteral("Start Time");
    case colTitle:
        return QStringLiteral("Track Title");
    case colDuration:
        return QStringLiteral("Duration");
    default:
        return {};
    }
}

Qt::ItemFlags TPlaylistModel::flags(const QModelIndex &AIndex) const {
    if (!AIndex.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled | Qt::ItemNeverHasChildren;
}

Qt::DropActions TPlaylistModel::supportedDropActions() const {
    return Qt::MoveAction;
}
