#pragma once
// How the five remote-control operations are put on the wire and how a reply
// body becomes text.

#include "config/Settings.h"

#include <QByteArray>
#include <QString>

// Shown when no server is configured; nothing is sent.
inline constexpr const char *KNotConfigured = "Connection not configured. Please open Settings.";

// "http://server:port", or with the credential part "http://server:port/?user=U&pass=P".
// Call with the settings lock held.
QString BaseURL(const TSettings &ASettings, bool ACredentials);

// "user=U&pass=P&action=vocarra&fn=NAME&pos=N&vt=": the upload form up to the
// encoded file. AFileName is reduced to its last path component.
// Call with the settings lock held.
QByteArray UploadFormPrefix(const TSettings &ASettings, const QString &AFileName, int APos);

// The reply body as text in the character set of AContentType (UTF-8 when none is named).
QString ReplyText(const QByteArray &ABody, const QByteArray &AContentType);
