#include "screens/main/mainlayout.h"

#include "screens/common/lampshape.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace fh {

namespace {

QColor qcolour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

QLabel* label(QWidget* body, const char* name, const QString& text, QRect place, Rgb fg, Rgb bg,
              int pointSize, bool bold, Qt::Alignment align = Qt::AlignCenter) {
    auto* l = new QLabel(text, body);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(place);
    l->setAlignment(align);
    l->setAutoFillBackground(true);
    QFont f = l->font();
    if (pointSize > 0)
        f.setPointSize(pointSize);
    f.setBold(bold);
    l->setFont(f);
    SetLabelColours(l, fg, bg);
    return l;
}

QPushButton* button(QWidget* body, const char* name, const QString& caption, const QString& tooltip,
                    QRect place) {
    auto* b = new QPushButton(caption, body);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(tooltip);
    b->setGeometry(place);
    b->setAutoDefault(false);
    return b;
}

// The picture of the address buttons: a blue arrow head pointing up or down.
QIcon arrow(bool up) {
    QPixmap pm(20, 14);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 200));
    QPainterPath path;
    if (up) {
        path.moveTo(10, 1);
        path.lineTo(19, 13);
        path.lineTo(1, 13);
    } else {
        path.moveTo(1, 1);
        path.lineTo(19, 1);
        path.lineTo(10, 13);
    }
    path.closeSubpath();
    p.drawPath(path);
    return QIcon(pm);
}

} // namespace

void SetLabelColours(QLabel* l, std::optional<Rgb> text, std::optional<Rgb> background) {
    QPalette pal = l->palette();
    if (text)
        pal.setColor(QPalette::WindowText, qcolour(*text));
    if (background)
        pal.setColor(QPalette::Window, qcolour(*background));
    if (pal != l->palette()) // every poll shows its result: repaint only what changed
        l->setPalette(pal);
}

void SetToolTip(QWidget* w, const QString& tip) {
    if (w->toolTip() != tip)
        w->setToolTip(tip);
}

Rgb LabelTextColour(const QLabel* l) {
    const QColor c = l->palette().color(QPalette::WindowText);
    return Rgb{quint8(c.red()), quint8(c.green()), quint8(c.blue())};
}

Rgb LabelBackground(const QLabel* l) {
    const QColor c = l->palette().color(QPalette::Window);
    return Rgb{quint8(c.red()), quint8(c.green()), quint8(c.blue())};
}

MainControls BuildMainControls(QWidget* body) {
    // Three columns (address, identity, status) over the messages and two rows of buttons.
    constexpr int left = 16, mid = 196, right = 420, gap = 12, bw = 124, bh = 32;
    MainControls c{};
    label(body, "Label1", QStringLiteral("Address"), {left, 14, 164, 24}, Black, TitleGrey, 10,
          true);
    label(body, "lblType", QStringLiteral("Model"), {mid, 14, 208, 24}, Black, TitleGrey, 10, true);
    label(body, "lblSerial", QStringLiteral("Serial No."), {mid, 78, 208, 24}, Black, TitleGrey, 10,
          true);
    label(body, "lblSta", QStringLiteral("STATUS"), {right, 14, 124, 24}, Black, TitleGrey, 10,
          true);

    c.address = label(body, "lblChooseAddr", QStringLiteral("1"), {left, 42, 120, 58}, colour::Blue,
                      colour::LightPeach, 28, true);
    c.addressUpButton = button(body, "cmdUp", QString(), QStringLiteral("Increment address"),
                               {left + 126, 42, 38, 28});
    c.addressUpButton->setIcon(arrow(true));
    c.addressDownButton = button(body, "cmdDown", QString(), QStringLiteral("Decrement address"),
                                 {left + 126, 72, 38, 28});
    c.addressDownButton->setIcon(arrow(false));
    for (QPushButton* b : {c.addressUpButton, c.addressDownButton}) {
        b->setIconSize(QSize(20, 14));
        b->setFocusPolicy(Qt::StrongFocus); // in the Tab order, like every other button
    }

    c.model = label(body, "lblDetType", QString(), {mid, 42, 208, 30}, colour::Blue,
                    colour::LightPeach, 13, true);
    c.serial = label(body, "lblserNum", QString(), {mid, 106, 208, 30}, colour::Blue,
                     colour::LightPeach, 13, true);
    c.status = label(body, "lblDetStatus", QStringLiteral("D"), {right, 42, 124, 124}, colour::Blue,
                     colour::LightPeach, 66, true);

    c.linkLamp = new LampShape(body);
    c.linkLamp->setObjectName(QStringLiteral("Shape1"));
    c.linkLamp->setGeometry(left + 4, 112, 26, 26);
    c.linkText = label(body, "lblCom", QString(), {left + 36, 110, 128, 30}, colour::Green,
                       colour::White, 14, true, Qt::AlignLeft | Qt::AlignVCenter);
    c.linkText->setAutoFillBackground(false);
    c.linkText->setToolTip(QStringLiteral("Communication Status"));

    c.bitMessage =
        label(body, "lblBit", QString(), {left, 144, 388, 26}, colour::Blue, LightPink, 11, true);
    c.bitMessage->hide();
    c.tuningNotice = label(body, "lblF12", QStringLiteral("Testing... "), {left, 176, 388, 26},
                           colour::Red, LightYellow, 11, true);
    c.tuningNotice->hide();
    c.logNotice = label(body, "lblLogOn", QString(), {left, 208, 528, 26}, colour::Blue,
                        colour::White, 10, false);
    c.logNotice->hide();

    const int row1 = 246, row2 = row1 + bh + 10;
    auto col = [&](int i) { return QRect(left + i * (bw + gap), 0, bw, bh); };
    c.bitButton = button(body, "cmdBIT", QStringLiteral("&BIT"),
                         QStringLiteral("Perform manual BIT"), col(0).translated(0, row1));
    c.setupButton = button(body, "cmdSetio", QStringLiteral("&Setup"),
                           QStringLiteral("Setup screen"), col(1).translated(0, row1));
    c.newAddressButton = button(body, "cmdChangeAddr", QStringLiteral("new &Address"),
                                QStringLiteral("Set new address"), col(2).translated(0, row1));
    c.masterModeButton =
        button(body, "cmdSearch", QStringLiteral("maste&R is OFF"),
               QStringLiteral("Searching for an active detector"), col(3).translated(0, row1));
    c.statusLogButton = button(body, "cmdLog", QStringLiteral("start &Loging"),
                               QStringLiteral("Log to file"), col(0).translated(0, row2));
    c.viewLogButton = button(body, "cmdShowLog", QStringLiteral("&View log"),
                             QStringLiteral("Log file viewer"), col(1).translated(0, row2));
    c.maintenanceButton = button(body, "cmdMaintenance", QStringLiteral("&Maint"), QString(),
                                 col(2).translated(0, row2));
    c.maintenanceButton->hide();
    c.exitButton = button(body, "cmdE", QStringLiteral("&Exit"), QStringLiteral("Quit program"),
                          col(3).translated(0, row2));

    body->setFixedSize(right + 124 + left, row2 + bh + 14);
    return c;
}

} // namespace fh
