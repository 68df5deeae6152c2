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

class frmOpening : public QWidget {
    Q_OBJECT
public:
    static constexpr int FirstTickMs = 1000;
    static constexpr int LineMs = 350;
    static constexpr int FinalMs = 4000;
    static constexpr int LineCount = 7;

    // pictureFile is read at the first tick; a missing or unreadable file leaves the splash
    // without a picture. Either way the category "flamehost.splash" tells at info level
    // (QT_LOGGING_RULES="flamehost.splash.info=true"), for the package check.
    explicit frmOpening(QString pictureFile, QWidget* parent = nullptr);
    frmOpening(QString pictureFile, Clock& clock, QWidget* parent = nullptr);

    std::array<QLabel*, LineCount> lblHead{};
    ClockTimer* Timer3 = nullptr;

    // The first tick of Timer3 runs the sequence once.
    void Timer3_Timer();
    // The next step of the sequence; gives the wait before the step after it, or -1 once the
    // splash has closed. The sequence's own timer calls it; tests may call it directly.
    int step();

    bool hasPicture() const { return !picture_.isNull(); }
    bool isOver() const { return over_; }
    // A click or any key: the splash closes at once and hands over.
    void skip();

signals:
    // The splash has closed: time for the COM-port dialog.
    void finished();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QString pictureFile_;
    QPixmap picture_;
    ClockTimer* sequence_ = nullptr;
    int next_ = 0; // 0: picture and line 0; i: bold line i-1 and show line i; 7: bold 6; 8: close
    bool over_ = false;
};

} // namespace fh
