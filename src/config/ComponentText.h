#pragma once
// The component text format in which every configuration object is stored:
//
//     object TSettings
//       Server = '192.168.1.20'
//       PlaylistCols = <
//         item
//           Width = 60
//         end>
//     end
//
// 7-bit text with CR LF line ends; properties in table order, indented two
// spaces per level; strings cut into lines of 64 characters; collections in
// < >, string lists in ( ).

#include <QByteArray>
#include <QStringView>

class TPersistent;

// The whole text of ARoot, its root line naming ARoot's class.
QByteArray ComponentToText(const TPersistent &ARoot);

// Reads AText into the existing ARoot, overlaying the values it holds; the
// root's class name is ignored. Properties ARoot's table does not hold are
// kept when ARoot keeps unknown properties and dropped otherwise; a value of
// the wrong kind is skipped. A text that breaks the grammar raises
// EParserError; what was read before the error stays in ARoot.
void TextToComponent(QStringView AText, TPersistent &ARoot);
