#pragma once
// The top-level properties of a station file's text, compared and merged one
// by one. Another station program may rewrite a shared file while this one
// runs; saving then puts only the properties this session changed over the
// file's current text and keeps everything else as the other program wrote it.

#include "config/ValueNode.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Top-level properties in the order of the text.
using TTextProps = std::vector<TPropNode>;

// The properties of a whole component text; none when the text breaks the
// grammar anywhere.
std::optional<TTextProps> ParseTextProps(const QByteArray &AText);

// Names (as ANow or ABefore spells them) of the properties that were added,
// removed or given another value between ABefore and ANow. Names and
// identifiers compare without regard to case, as the reader takes them.
QStringList ChangedProps(const TTextProps &ABefore, const TTextProps &ANow);

// ABase with AOurs's value for every property named in AChanged: replaced in
// its place, added after the nearest property that precedes it in AOurs (at
// the front when none does), or removed when AOurs no longer holds it.
TTextProps MergeProps(TTextProps ABase, const TTextProps &AOurs, const QStringList &AChanged);

// The component text of AProps under a root line naming AClassName.
QByteArray TextOfProps(const QString &AClassName, const TTextProps &AProps);
