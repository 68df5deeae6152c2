#pragma once
// Small pieces the field tools' tables and windows share.
#include <QPushButton>
#include <QStringList>

namespace fh {

// One CSV line; a field with a comma, quote or line break is quoted, quotes doubled.
inline QString CsvRow(const QStringList& fields) {
    QStringList out;
    for (const QString& f : fields) {
        if (f.contains(QLatin1Char(',')) || f.contains(QLatin1Char('"')) ||
            f.contains(QLatin1Char('\n')))
            out << QLatin1Char('"') +
                       QString(f).replace(QLatin1String("\""), QLatin1String("\"\"")) +
                       QLatin1Char('"');
        else
            out << f;
    }
    return out.join(QLatin1Char(','));
}

// A button with its object name, so tests find it.
inline QPushButton* NamedButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace fh
