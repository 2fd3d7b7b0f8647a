#pragma once

#include <QFont>
#include <QString>

namespace velorin {

// Figures that all take the width of the widest one, as monospaced digits do, so that a
// count, a download figure or an altitude keeps its width as it changes: "1 204 m" is as
// wide as "1 808 m" whatever the desktop's font. Qt 6.4 cannot ask a font for its tabular
// figures, so each narrower digit is followed by the room it lacks, as rich text for a
// label. GUI thread only.
class MonospacedDigits {
public:
    // `text` as rich text whose digits, in `font`, are all as wide as the widest.
    static QString richText(const QString& text, const QFont& font);
    // The plain text of what `richText` made.
    static QString plainText(const QString& richText);
};

} // namespace velorin
