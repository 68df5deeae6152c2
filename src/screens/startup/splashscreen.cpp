#include "screens/startup/splashscreen.h"

#include "link/clocktimer.h"
#include "link/datadir.h"
#include "screens/twips.h"

#include <iterator>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QPainter>
#include <QScreen>

namespace fh {

namespace {

// Quiet unless asked for: the operator has no use for it, an install check has.
Q_LOGGING_CATEGORY(lcSplash, "flamehost.splash", QtWarningMsg)

struct Line {
    const char* text;
    int pointSize;
    QColor colour;
};

// Lines 1-4 are the program's own; 0, 5 and 6 name the maker, the owner and the web site.
const Line Lines[] = {
    {"Ostrix", 18, QColor(255, 0, 0)},
    {"Presents", 12, QColor(255, 0, 0)},
    {"Ostrix Detector Host Program", 12, QColor(255, 0, 0)},
    {"For", 12, QColor(255, 0, 0)},
    {"Flame Detectors", 12, QColor(255, 0, 0)},
    {"Copyright (C) Ostrix. All rights reserved.", 9, QColor(0, 0, 255)},
    {"On the web: www.ostrix.example", 9, QColor(0, 0, 255)},
};

const QColor LightYellow(255, 255, 192);
constexpr int Width = 540;
constexpr int LinesTop = 162;
constexpr int LineHeight = 28;

constexpr int FirstTickMs = 1000; // the first line shows a second after the splash
constexpr int LineMs = 350;       // each line turns bold this long after it shows
constexpr int FinalMs = 4000;     // the last line stays this long before the hand-over

} // namespace

QString SplashPicturePath(const QString& dataDir, const QString& programDir) {
    const QString inData = QDir(dataDir).filePath(SplashPictureFile);
    if (QFile::exists(inData))
        return inData;
    const QString shipped = QDir(ShippedDataDirectory(programDir)).filePath(SplashPictureFile);
    if (!QFile::exists(shipped))
        return QString();
    if (!dataDir.isEmpty() && QFile::copy(shipped, inData))
        return inData;
    return shipped;
}

SplashScreen::SplashScreen(QString pictureFile, QWidget* parent)
    : SplashScreen(std::move(pictureFile), SteadyClock::instance(), parent) {}

SplashScreen::SplashScreen(QString pictureFile, Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), pictureFile_(std::move(pictureFile)) {
    static_assert(std::size(Lines) == LineCount);
    setObjectName(QStringLiteral("frmOpening"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, LightYellow);
    setPalette(pal);

    for (int i = 0; i < LineCount; ++i) {
        auto* l = new QLabel(QString::fromLatin1(Lines[i].text), this);
        l->setObjectName(QStringLiteral("lblHead_%1").arg(i));
        l->setAlignment(Qt::AlignCenter);
        l->setAutoFillBackground(true);
        QPalette lp = l->palette();
        lp.setColor(QPalette::Window, LightYellow);
        lp.setColor(QPalette::WindowText, Lines[i].colour);
        l->setPalette(lp);
        QFont f(QStringLiteral("Arial"), Lines[i].pointSize);
        f.setBold(false);
        l->setFont(f);
        l->setGeometry(10, LinesTop + i * LineHeight, Width - 20, LineHeight);
        l->hide();
        lines_[size_t(i)] = l;
    }
    setFixedSize(Width, LinesTop + LineCount * LineHeight + 12);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    setFocusPolicy(Qt::StrongFocus);
    firstTick_ = new ClockTimer(clock, this);
    firstTick_->setObjectName(QStringLiteral("Timer3"));
    firstTick_->setInterval(FirstTickMs);
    connect(firstTick_, &ClockTimer::timeout, this, &SplashScreen::onFirstTick);
    firstTick_->start();

    sequence_ = new ClockTimer(clock, this);
    sequence_->setSingleShot(true);
    connect(sequence_, &ClockTimer::timeout, this, [this] {
        const int wait = step();
        if (wait >= 0)
            sequence_->start(wait);
    });
}

void SplashScreen::onFirstTick() {
    firstTick_->stop();
    if (next_ != 0)
        return;
    const int wait = step();
    if (wait >= 0)
        sequence_->start(wait);
}

int SplashScreen::step() {
    if (over_)
        return -1;
    firstTick_->stop();
    const int i = next_++;
    if (i == 0) {
        picture_ = QPixmap(pictureFile_); // null when missing: no picture, no message box
        if (picture_.isNull())
            qCInfo(lcSplash, "splash picture missing: \"%s\"", qUtf8Printable(pictureFile_));
        else
            qCInfo(lcSplash, "splash picture shown: %s", qUtf8Printable(pictureFile_));
        update();
    }
    if (i > 0 && i <= LineCount) {
        QFont f = lines_[size_t(i - 1)]->font();
        f.setBold(true);
        lines_[size_t(i - 1)]->setFont(f);
    }
    if (i < LineCount) {
        lines_[size_t(i)]->show();
        return LineMs;
    }
    if (i == LineCount)
        return FinalMs;
    skip();
    return -1;
}

void SplashScreen::skip() {
    if (over_)
        return;
    over_ = true;
    firstTick_->stop();
    sequence_->stop();
    close();
    emit finished();
}

void SplashScreen::mousePressEvent(QMouseEvent*) {
    skip();
}

void SplashScreen::keyPressEvent(QKeyEvent*) {
    skip();
}

void SplashScreen::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!picture_.isNull())
        p.drawPixmap(Twips(2400), Twips(100), picture_);
    // A frameless window still wants an edge.
    p.setPen(QColor(128, 128, 96));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace fh
