#pragma once
// Overwriting the scratch copies of a secret (the password in a request URL
// or an upload form) once they are used, so that they do not linger in freed
// memory.

#include <QByteArray>
#include <QString>

// Zeroes the bytes of AData and leaves it empty. A buffer that other copies
// still share is theirs: it is left as it is and only AData lets go of it.
void WipeBytes(QByteArray &AData);

// The same for the characters of AText.
void WipeText(QString &AText);
