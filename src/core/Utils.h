#pragma once
// Small process-wide helpers that need no window.

#include <QString>
#include <QtGlobal>

// Milliseconds from a monotonic clock (never goes back, unaffected by clock changes).
qint64 GetTickMs();

// Countdown text: "00:00.0", "01:23.4", "1:02:03.4"; tenths are truncated.
QString FormatTimeMs(qint64 AMs);

// Removes every "&" (menu and button accelerators).
QString StripAccelerators(const QString &AText);

// Removes " | * / : < > ? \ so the text can be used as a file name.
QString SanitizeFileName(const QString &AText);
