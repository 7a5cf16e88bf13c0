#pragma once
// Small process-wide helpers that need no window.

#include <QString>
#include <QtGlobal>

// Milliseconds from a monotonic clock (never goes back, unaffected by clock changes).
qint64 GetTickMs();

// Countdown text: "00:00.0", "01:23.4", "1:02:03.4"; tenths are truncated and
// hours are not limited to 24. A negative count is shown as "00:00.0".
QString FormatTimeMs(qint64 AMs);

// Removes every "&" (menu and button accelerators).
QString StripAccelerators(const QString &AText);

// Removes " | * / : < > ? \ so the text can be used as a file name; every
// other character, also those above U+00FF, is kept.
QString SanitizeFileName(const QString &AText);
