#include "report/pdfreport.h"

#include "detector/maintenance.h"
#include "report/sheet.h"
#include "visit/atomicfile.h"
#include "visit/settings.h"
#include "visit/table.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

namespace fh::report {

using namespace fh::visit;

namespace {

constexpr double LabelMm = 70;      // the setup screen's long captions
constexpr double VisitLabelMm = 30; // the first page's short ones

QFont font(double points, bool bold = false) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The setup screen's captions of the settings.
QString settingLabel(const QString& key) {
    static const std::pair<const char*, const char*> labels[] = {
        {"sensitivity", "Sensitivity"},
        {"delay", "Delay"},
        {"heat_mode", "Heat mode"},
        {"heat_on", "Heat on"},
        {"alarm_latch", "Enable Alarm Latch"},
        {"relay_on_warning", "Activate Accessory Relay on Warning"},
        {"auto_bit", "Enable Automatic BIT"},
        {"alarm_on_bit", "Activate Alarm on successfull manual BIT"},
        {"relay_on_bit", "Activate Accessory Relay on successful manual BIT"},
        {"relay_as_eol", "Accessory Relay as EOL"},
    };
    for (const auto& [k, label] : labels)
        if (key == QLatin1String(k))
            return QString::fromLatin1(label);
    return key;
}

QString when(const QDateTime& t) {
    if (!t.isValid())
        return QStringLiteral("-");
    const int minutes = t.offsetFromUtc() / 60;
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" (UTC%1%2:%3)")
               .arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(std::abs(minutes) / 60, 2, 10, QLatin1Char('0'))
               .arg(std::abs(minutes) % 60, 2, 10, QLatin1Char('0'));
}

QString visitDate(const Visit& v) {
    return v.started.isValid() ? v.started.toString(QStringLiteral("yyyy-MM-dd"))
                               : QStringLiteral("date not recorded");
}

QString orDash(const QString& text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

void pair(Sheet& s, const QString& label, const QString& value, bool bold = false,
          double labelMm = LabelMm) {
    s.row({{label, labelMm}, {value, s.widthMm() - labelMm}}, font(10, bold), false, false);
}

void heading(Sheet& s, const QString& text) {
    s.keep(20); // a heading never ends a page
    s.text(text, font(12, true), 5);
}

void visitPart(Sheet& s, const ReportInput& in) {
    const Visit& v = in.record.visit;
    s.text(QStringLiteral("Flame detector inspection record"), font(18, true));
    s.text({}, font(6));
    const auto line = [&s](const char* label, const QString& value, bool bold = false) {
        pair(s, QString::fromLatin1(label), value, bold, VisitLabelMm);
    };
    line("Site", orDash(v.site));
    line("Technician", orDash(v.technician));
    line("Date", QStringLiteral("%1 to %2").arg(when(v.started), when(v.ended)));
    line("Program", orDash(v.program));
    line("Line", QStringLiteral("%1, line driver %2%3, turnaround %4 µs")
                     .arg(orDash(v.line.port), orDash(v.line.lineMode),
                          v.line.echo ? QStringLiteral(", echo") : QString())
                     .arg(v.line.turnaroundUs));
    line("Addresses", orDash(v.addresses));
    line("BIT", v.bitAsked ? QStringLiteral("run on each detector") : QStringLiteral("not run"));
    line("Survey",
         v.complete ? QStringLiteral("complete")
                    : QStringLiteral("INCOMPLETE (%1)").arg(orDash(v.interrupted)),
         !v.complete);
}

void tablePart(Sheet& s, const ReportInput& in) {
    heading(s, QStringLiteral("Detectors"));
    const std::vector<TableRow> rows = DetectorTable(in.record);
    const double widths[] = {12, 26, 14, 29, 12, 18, 15, 16};
    double fixed = 0;
    for (double w : widths)
        fixed += w;
    auto cells = [&](const QStringList& texts) {
        std::vector<Cell> out;
        for (qsizetype i = 0; i < texts.size(); ++i)
            out.push_back({texts[i], i < 8 ? widths[i] : s.widthMm() - fixed,
                           i == 0 || i == 2 || i == 6 || i == 7 ? Qt::AlignRight : Qt::AlignLeft});
        return out;
    };
    s.row(cells({"Addr.", "Model", "Serial", "Firmware", "Status", "BIT", "Supply V", "Temp. °C",
                 "Needs attention"}),
          font(8.5, true));
    int marked = 0;
    for (const TableRow& r : rows) {
        const bool attention = !r.attention.isEmpty();
        marked += attention;
        const QString address =
            attention ? QStringLiteral("! %1").arg(r.address) : QString::number(r.address);
        s.row(cells({address, r.model, r.serial, r.firmware, r.status, r.bit, r.voltage,
                     r.temperature, r.attention.join(QStringLiteral("; "))}),
              font(8.5, attention), attention);
    }
    if (rows.empty())
        s.text(QStringLiteral("No detector answered."), font(10, true), 2);
    s.text(QStringLiteral("%1 detector%2; %3 need%4 attention (marked ! and shaded).")
               .arg(rows.size())
               .arg(rows.size() == 1 ? "" : "s")
               .arg(marked)
               .arg(marked == 1 ? "s" : ""),
           font(10), 3);
    s.keep(25);
    s.text(QStringLiteral("Technician: ______________________   Signature: "
                          "______________________   Date: ______________"),
           font(10), 15);
}

void comparisonPart(Sheet& s, const ReportInput& in) {
    if (!in.comparison)
        return;
    heading(s, QStringLiteral("Changes since the visit of %1%2")
                   .arg(visitDate(in.earlier), in.earlier.site.isEmpty()
                                                   ? QString()
                                                   : QStringLiteral(" (%1)").arg(in.earlier.site)));
    const QStringList lines = DiffLines(*in.comparison);
    if (lines.isEmpty())
        s.text(QStringLiteral("No differences."), font(10));
    for (const QString& line : lines)
        s.text(QStringLiteral("• ") + Printable(line), font(10), 1);
}

void settingsPart(Sheet& s, const QString& model, const SetupEntry& setup) {
    const SetupRow row = SetupRowFor(model);
    for (const ListSetting& l : ListSettings())
        if (Offers(row, l))
            pair(s, settingLabel(QLatin1String(l.key)), SettingText(model, setup, l.key),
                 SettingText(model, setup, l.key).startsWith(QLatin1String("raw")));
    for (const FlagSetting& f : FlagSettings())
        if (Shows(row, f))
            pair(s, settingLabel(QLatin1String(f.key)), SettingText(model, setup, f.key));
    pair(s, QStringLiteral("Registers as read"), RegistersText(setup.registers));
}

void readingsPart(Sheet& s, const Readings& r) {
    auto sum = [](const std::optional<float>& v) {
        return v ? FormatSum(*v) : QStringLiteral("-");
    };
    pair(s, QStringLiteral("SUM4 / SUM45 / SUM5"),
         QStringLiteral("%1 / %2 / %3")
             .arg(FormatSum(r.sum4), FormatSum(r.sum45), FormatSum(r.sum5)));
    pair(s, QStringLiteral("BIT SUM4 / SUM45 / SUM5"),
         QStringLiteral("%1 / %2 / %3").arg(sum(r.bitSum4), sum(r.bitSum45), sum(r.bitSum5)));
    pair(s, QStringLiteral("NOISE4 / NOISE45 / NOISE5"),
         QStringLiteral("%1 / %2 / %3").arg(r.noise4).arg(r.noise45).arg(r.noise5));
    pair(s, QStringLiteral("Gain"), r.gain ? QString::number(*r.gain) : QStringLiteral("unknown"));
    pair(s, QStringLiteral("Temperature"), QStringLiteral("%1 °C").arg(r.temperature));
    pair(s, QStringLiteral("Supply voltage"), QStringLiteral("%1 V").arg(FormatVoltage(r.voltage)));
}

void detectorPage(Sheet& s, const DetectorEntry& e) {
    s.newPage();
    const auto& id = e.identity;
    s.text(id ? QStringLiteral("Address %1: %2, serial %3")
                    .arg(e.address)
                    .arg(id->model)
                    .arg(id->serial)
              : QStringLiteral("Address %1: not identified").arg(e.address),
           font(15, true));
    const QStringList attention = Attention(e);
    if (!attention.isEmpty())
        s.text(QStringLiteral("! Needs attention: ") + attention.join(QStringLiteral("; ")),
               font(10, true), 2);

    heading(s, QStringLiteral("Identity"));
    pair(s, QStringLiteral("Model code"),
         id ? QString::number(id->modelCode) : QStringLiteral("-"));
    pair(s, QStringLiteral("Status character"),
         id ? Printable(StatusCharText(id->statusChar)) : QStringLiteral("-"),
         id && id->statusChar != 'N');
    pair(s, QStringLiteral("Fault flag"), id ? QString::number(id->fault) : QStringLiteral("-"),
         id && id->fault != 0);
    pair(s, QStringLiteral("Firmware"), e.firmware ? Printable(*e.firmware) : QStringLiteral("-"));

    heading(s, QStringLiteral("Settings"));
    if (e.setup && id)
        settingsPart(s, id->model, *e.setup);
    else
        s.text(QStringLiteral("Not read."), font(10, true));

    heading(s, QStringLiteral("Readings"));
    if (e.readings)
        readingsPart(s, *e.readings);
    else
        s.text(QStringLiteral("Not read."), font(10, true));

    heading(s, QStringLiteral("Built-in test"));
    pair(s, BitOutcomeText(e.bit.outcome), when(e.bit.time), e.bit.outcome == BitOutcome::NoAnswer);

    heading(s, QStringLiteral("Replies that failed the check"));
    if (e.replyFaults.empty())
        s.text(QStringLiteral("none"), font(10));
    for (const auto& [key, count] : e.replyFaults)
        pair(s, QString(key).replace(QLatin1Char('_'), QLatin1Char(' ')), QString::number(count),
             true);
    if (!e.unread.empty()) {
        heading(s, QStringLiteral("Not read"));
        for (const Unread& u : e.unread)
            pair(s, u.part, u.reason, true);
    }
}

int paint(const ReportInput& in, QPagedPaintDevice* device, QPainter* painter, int total) {
    const Visit& v = in.record.visit;
    const QString foot = QStringLiteral("%1 - visit of %2")
                             .arg(v.site.isEmpty() ? QStringLiteral("Site") : v.site, visitDate(v));
    Sheet s(device, painter, total, [foot](int page, int all) {
        return std::pair(foot, QStringLiteral("Page %1 of %2").arg(page).arg(all));
    });
    visitPart(s, in);
    tablePart(s, in);
    comparisonPart(s, in);
    for (const DetectorEntry& e : in.record.detectors)
        detectorPage(s, e);
    return s.finish();
}

} // namespace

int PaintReport(const ReportInput& input, QPagedPaintDevice* device) {
    const int pages = paint(input, device, nullptr, 0);
    QPainter painter;
    if (!painter.begin(device))
        return 0;
    paint(input, device, &painter, pages);
    painter.end();
    return pages;
}

bool WriteReportPdf(const ReportInput& input, const QString& path, QString* error) {
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("Flame detector inspection record: %1, %2")
                            .arg(input.record.visit.site, visitDate(input.record.visit)));
        writer.setCreator(input.record.visit.program);
        if (PaintReport(input, &writer) == 0) {
            *error = QStringLiteral("%1: the PDF writer could not start").arg(path);
            return false;
        }
    }
    return WriteFileAtomically(path, pdf.data(), error);
}

} // namespace fh::report
