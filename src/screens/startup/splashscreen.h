#pragma once
// The splash: seven lines appear one by one under the flame picture, then the splash closes
// and hands over to the COM-port dialog (finished()).
#include <array>
#include <QPixmap>
#include <QWidget>

class QLabel;

namespace fh {

class ClockTimer;
class Clock;

inline const QString SplashPictureFile = QStringLiteral("ostrixflamemov1.gif");

// The picture lives in the data directory; when it is not there yet, the one shipped with the
// program (beside it in a build tree, in share/flamehost once installed) is copied in (best
// effort) and used. Empty when neither exists.
QString SplashPicturePath(const QString& dataDir, const QString& programDir);

// A frameless window whose lines carry their form names as objectName ("lblHead_0" ..
// "lblHead_6"); the timer of its first tick is "Timer3".
class SplashScreen : public QWidget {
    Q_OBJECT
public:
    // pictureFile is read at the first tick; a missing or unreadable file leaves the splash
    // without a picture. Either way the category "flamehost.splash" tells at info level
    // (QT_LOGGING_RULES="flamehost.splash.info=true"), for the package check.
    explicit SplashScreen(QString pictureFile, QWidget* parent = nullptr);
    SplashScreen(QString pictureFile, Clock& clock, QWidget* parent = nullptr);

    bool hasPicture() const { return !picture_.isNull(); }

signals:
    // The splash has closed: time for the COM-port dialog.
    void finished();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    static constexpr int LineCount = 7;

    // Only the first tick does anything: it starts the sequence.
    void onFirstTick();
    // The next step of the sequence; gives the wait before the step after it, or -1 once the
    // splash has closed.
    int step();
    // A click or any key: the splash closes at once and hands over.
    void skip();

    QString pictureFile_;
    QPixmap picture_;
    std::array<QLabel*, LineCount> lines_{};
    ClockTimer* firstTick_ = nullptr;
    ClockTimer* sequence_ = nullptr;
    int next_ = 0; // 0: picture and line 0; i: bold line i-1 and show line i; 7: bold 6; 8: close
    bool over_ = false;
};

} // namespace fh
