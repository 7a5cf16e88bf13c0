#pragma once
// The main window's toolbar images, drawn rather than shipped so that they
// follow the screen's scale.

#include <QIcon>
#include <QString>

// The image of the given name: "record broadcast ", "insert", "Delete", "FX",
// "settings" or "Add File"; an empty icon for any other name.
QIcon ToolbarImage(const QString &AName);
