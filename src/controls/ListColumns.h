#pragma once
// Copies a list's column layout (width, display position, visibility of each
// column) into a TMyColumns collection and back. Item i of the collection
// describes the column with logical index i, whatever its display position.

class QHeaderView;
class TMyColumns;

// Replaces the collection's items by the header's current columns. A hidden
// column keeps the width it will have when it is shown again.
void SaveListColumns(const QHeaderView &AHeader, TMyColumns &AColumns);

// Applies the collection to the header when it describes a valid layout and
// returns whether it did. A collection with more items than the header has
// columns is ignored; one with fewer is first completed from the header's
// own columns (the items stay appended even when the layout then proves
// invalid). Afterwards the list's main column is the first visible column in
// display order, or column 0 when none is visible.
bool RestoreListColumns(QHeaderView &AHeader, TMyColumns &AColumns);

// The first visible column in display order; 0 when no column is visible.
int MainListColumn(const QHeaderView &AHeader);
