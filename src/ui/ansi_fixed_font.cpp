#include "ui/ansi_fixed_font.h"

#include <QFont>
#include <QStringList>

const QFont& AnsiFixedFont() {
    static const QFont font = [] {
        // The stock font is Courier at ten points; its nearest relatives here
        // keep every character the same width.
        QFont::insertSubstitutions(QStringLiteral("Courier"),
                                   QStringList{QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                                               QStringLiteral("Courier New")});
        QFont f(QStringLiteral("Courier"));
        f.setPointSize(10);
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
        return f;
    }();
    return font;
}
