#include "screens/overview/comparisonhtml.h"

#include "detector/maintenance.h"
#include "detector/setupverify.h"

#include <QStringList>

namespace fh {

namespace {

using visit::DetectorChange;
using visit::DetectorRef;

// Everything shown comes from files; none of it may be taken for markup.
QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

QString row(const QStringList& cells) {
    QString out = QStringLiteral("<tr>");
    for (const QString& c : cells)
        out += QStringLiteral("<td>%1</td>").arg(esc(c));
    return out + QStringLiteral("</tr>");
}

struct Section {
    QString title;
    QStringList headers;
    QStringList rows; // made with row()
};

QString table(const Section& s) {
    if (s.rows.isEmpty())
        return {};
    QString out = QStringLiteral("<h3>%1 (%2)</h3><table border=\"1\" cellspacing=\"0\" "
                                 "cellpadding=\"4\"><tr>")
                      .arg(esc(s.title))
                      .arg(s.rows.size());
    for (const QString& h : s.headers)
        out += QStringLiteral("<th align=\"left\">%1</th>").arg(esc(h));
    return out + QStringLiteral("</tr>") + s.rows.join(QString()) + QStringLiteral("</table>");
}

QString visitLine(const char* which, const visit::Visit& v) {
    return QStringLiteral("<p><b>%1:</b> %2, %3, %4</p>")
        .arg(QLatin1String(which),
             esc(v.site.isEmpty() ? QStringLiteral("(no site name)") : v.site),
             esc(v.started.toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
             esc(v.technician.isEmpty() ? QStringLiteral("(no technician)") : v.technician));
}

QString percent(const visit::SumChange& s) {
    return s.percent ? QStringLiteral("%1%2 %")
                           .arg(*s.percent >= 0 ? QStringLiteral("+") : QString())
                           .arg(*s.percent, 0, 'f', 1)
                     : QStringLiteral("-");
}

} // namespace

QString ComparisonHtml(const visit::Visit& older, const visit::Visit& newer,
                       const visit::VisitDiff& diff, double thresholdPercent) {
    const QStringList who = {QStringLiteral("Model"), QStringLiteral("Serial")};
    Section added{QStringLiteral("New"), QStringList{QStringLiteral("Address")} + who, {}};
    Section missing{
        QStringLiteral("Missing"), QStringList{QStringLiteral("Was at address")} + who, {}};
    Section moved{QStringLiteral("Moved"), who + QStringList{"Old address", "New address"}, {}};
    Section setup{QStringLiteral("Setup changed"),
                  QStringList{QStringLiteral("Address")} + who +
                      QStringList{"Setting", "Old", "New"},
                  {}};
    Section firmware{QStringLiteral("Firmware changed"),
                     QStringList{QStringLiteral("Address")} + who + QStringList{"Old", "New"},
                     {}};
    Section sums{QStringLiteral("Sums changed by more than %1 %").arg(thresholdPercent),
                 QStringList{QStringLiteral("Address")} + who +
                     QStringList{"Sum", "Old", "New", "Change"},
                 {}};
    Section unidentified{
        QStringLiteral("Not identified"), {QStringLiteral("Address"), QStringLiteral("Why")}, {}};

    auto ref = [](const DetectorRef& d) { return QStringList{d.model, QString::number(d.serial)}; };
    for (const DetectorRef& d : diff.added)
        added.rows << row(QStringList{QString::number(d.address)} + ref(d));
    for (const DetectorRef& d : diff.missing)
        missing.rows << row(QStringList{QString::number(d.address)} + ref(d));
    for (const DetectorChange& c : diff.changed) {
        const QStringList at = QStringList{QString::number(c.now.address)} + ref(c.now);
        if (c.oldAddress != c.now.address)
            moved.rows << row(ref(c.now) + QStringList{QString::number(c.oldAddress),
                                                       QString::number(c.now.address)});
        for (const visit::SettingChange& s : c.setup)
            setup.rows << row(at + QStringList{SetupSettingCaption(s.setting), s.before, s.after});
        if (c.firmware)
            firmware.rows << row(at + QStringList{c.firmware->first, c.firmware->second});
        for (const visit::SumChange& s : c.sums)
            sums.rows << row(
                at + QStringList{s.sum, FormatSum(s.before), FormatSum(s.after), percent(s)});
    }
    for (quint8 a : diff.unidentified)
        unidentified.rows << row({QString::number(a), QStringLiteral("its status was not read")});

    QString html = QStringLiteral("<h2>Comparison of two visits</h2>") +
                   visitLine("Earlier", older) + visitLine("Now", newer);
    if (diff.empty())
        return html + QStringLiteral("<p><b>Nothing differs.</b> The same detectors, at the same "
                                     "addresses, with the same setup and firmware.</p>");
    for (const Section* s : {&added, &missing, &moved, &setup, &firmware, &sums, &unidentified})
        html += table(*s);
    return html;
}

} // namespace fh
