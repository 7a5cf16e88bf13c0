#pragma once
// The playlist as rows of a list view. Rows point into a playlist owned by the
// main window; the model never owns or copies the entries.

#include "remote/PlaylistTypes.h"

#include <QAbstractTableModel>

class TPlaylistModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum TColumn { colPos, colStartTime, colTitle, colDuration, colCount };

    explicit TPlaylistModel(QObject *AParent = nullptr);

    // Binds the rows to APlaylist (may be null: no rows). With as many entries
    // as there are rows, row i simply points at entry i and the views keep
    // their selection and scroll position; otherwise the rows are rebuilt.
    void SetPlaylist(const TPlaylist *APlaylist);
    const TPlaylist *Playlist() const { return FPlaylist; }

    // What a screen reader hears as the description of each cell of the row on air.
    static QString PlayingDescription();

    // 1-based position of the playing entry, whose row is drawn bold and
    // described as playing; any value outside the rows marks none.
    void SetPlaylistPos(int APlaylistPos);
    int PlaylistPos() const { return FPlaylistPos; }

    int rowCount(const QModelIndex &AParent = QModelIndex()) const override;
    int columnCount(const QModelIndex &AParent = QModelIndex()) const override;
    QVariant data(const QModelIndex &AIndex, int ARole) const override;
    QVariant headerData(int ASection, Qt::Orientation AOrientation, int ARole) const override;
    Qt::ItemFlags flags(const QModelIndex &AIndex) const override;
    Qt::DropActions supportedDropActions() const override;

private:
    void RowChanged(int ARow);

    const TPlaylist *FPlaylist = nullptr;
    int FRows = 0; // rows the views know of; follows FPlaylist only through SetPlaylist
    int FPlaylistPos = -1;
};
