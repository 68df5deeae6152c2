#include "screens/common/keyhelp.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

namespace fh {

namespace {

const KeyLine F1{QStringLiteral("F1"), QStringLiteral("this list of keys")};

} // namespace

KeyList MainKeys() {
    return {{QStringLiteral("arrows"), QStringLiteral("step the address (1..247)")},
            {QStringLiteral("r / h"), QStringLiteral("master mode on / off")},
            {QStringLiteral("b"), QStringLiteral("built-in test (BIT)")},
            {QStringLiteral("s"), QStringLiteral("read the setup and open the setup screen")},
            {QStringLiteral("a"), QStringLiteral("new bus address")},
            {QStringLiteral("l"), QStringLiteral("status log on / off")},
            {QStringLiteral("v"), QStringLiteral("view the status log")},
            {QStringLiteral("F7"), QStringLiteral("bus overview: every detector of the line")},
            {QStringLiteral("F9"), QStringLiteral("line traffic window")},
            {QStringLiteral("F11"), QStringLiteral("maintenance password")},
            {QStringLiteral("m"), QStringLiteral("maintenance screen (once unlocked)")},
            {QStringLiteral("F12"), QStringLiteral("tune the turnaround delay")},
            {QStringLiteral("e / Esc"), QStringLiteral("exit (asks first)")},
            F1};
}

KeyList MaintenanceKeys() {
    return {{QStringLiteral("b"), QStringLiteral("built-in test, then the BIT sums")},
            {QStringLiteral("l"), QStringLiteral("sums log on / off")},
            {QStringLiteral("v"), QStringLiteral("firmware version")},
            {QStringLiteral("w"), QStringLiteral("chart: last 1 / 5 / 15 minutes")},
            {QStringLiteral("p"), QStringLiteral("chart: pause / go on")},
            {QStringLiteral("F9"), QStringLiteral("line traffic window")},
            {QStringLiteral("c / Esc"), QStringLiteral("close")},
            F1};
}

KeyList SetupKeys() {
    return {{QStringLiteral("Alt + underlined letter"), QStringLiteral("the button or field")},
            {QStringLiteral("Tab"), QStringLiteral("next field")},
            F1};
}

KeyList NewAddrKeys() {
    return {{QStringLiteral("Enter"), QStringLiteral("write the new address")},
            {QStringLiteral("Esc"), QStringLiteral("cancel")},
            F1};
}

KeyList LogViewerKeys() {
    return {{QStringLiteral("p"), QStringLiteral("print the log")},
            {QStringLiteral("wheel / drag"), QStringLiteral("chart: zoom / move")},
            {QStringLiteral("Home"), QStringLiteral("chart: the whole log again")},
            {QStringLiteral("c / Esc"), QStringLiteral("close")},
            F1};
}

KeyList PasswordKeys() {
    return {{QStringLiteral("Enter"), QStringLiteral("check the password")},
            {QStringLiteral("Esc"), QStringLiteral("cancel")},
            F1};
}

KeyList ComSetupKeys() {
    return {{QStringLiteral("Up / Down"), QStringLiteral("choose the port")},
            {QStringLiteral("Enter"), QStringLiteral("OK: open the port")},
            {QStringLiteral("Esc"), QStringLiteral("cancel: leave the program")},
            F1};
}

KeyList TrafficKeys() {
    return {{QStringLiteral("Alt+P"), QStringLiteral("pause (frames are still counted)")},
            {QStringLiteral("Alt+L"), QStringLiteral("clear the table and the counters")},
            {QStringLiteral("Alt+C / Alt+T"), QStringLiteral("save as CSV / as plain text")},
            {QStringLiteral("Ctrl+C"), QStringLiteral("copy the selected rows")},
            {QStringLiteral("Esc"), QStringLiteral("close")},
            F1};
}

KeyList OverviewKeys() {
    return {{QStringLiteral("Enter / double-click"),
             QStringLiteral("work with that detector on the main screen")},
            {QStringLiteral("Alt+R"), QStringLiteral("scan again (range and window above)")},
            {QStringLiteral("Alt+A"), QStringLiteral("cancel the scan")},
            {QStringLiteral("Alt+E"), QStringLiteral("export the table as CSV")},
            {QStringLiteral("Alt+S"), QStringLiteral("survey: record every detector, save the "
                                                     "record and its report")},
            {QStringLiteral("Alt+M"), QStringLiteral("compare a record with an earlier one")},
            {QStringLiteral("Esc"), QStringLiteral("close: the main screen polls again")},
            F1};
}

void ShowKeyHelp(QWidget* screen, const QString& title, const KeyList& keys, const QString& about) {
    auto* box = new QDialog(screen);
    box->setObjectName(QStringLiteral("frmKeyHelp"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Keys: %1").arg(title));
    QString html = QStringLiteral("<table cellspacing=4>");
    for (const KeyLine& k : keys)
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                    .arg(k.key.toHtmlEscaped(), k.does.toHtmlEscaped());
    html += QStringLiteral("</table>");
    if (!about.isEmpty())
        html += QStringLiteral("<hr><p>%1</p>")
                    .arg(about.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
    auto* text = new QLabel(html, box);
    text->setObjectName(QStringLiteral("lblKeys"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, box);
    QObject::connect(buttons, &QDialogButtonBox::rejected, box, &QDialog::close);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(text);
    layout->addWidget(buttons);
    box->show();
}

void InstallKeyHelp(QWidget* screen, const QString& title, const KeyList& keys,
                    const QString& about) {
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), screen);
    f1->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(f1, &QShortcut::activated, screen,
                     [screen, title, keys, about] { ShowKeyHelp(screen, title, keys, about); });
}

} // namespace fh
