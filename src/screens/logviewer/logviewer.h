#pragma once
// The log viewer: the whole status log Ir3Log.txt in a scrolling text box, printed on request;
// closing it brings the main screen back.
#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace fh {

class ScreenContext;

inline const QString LogViewerTitle = QStringLiteral("Log File Viewer");

// Its controls carry their form names as objectName ("txtLog", "cmdExit", "cmdPrint").
class LogViewer : public QWidget {
    Q_OBJECT
public:
    // Loads the log at once; shows itself only when asked. Deletes itself when closed.
    explicit LogViewer(ScreenContext& ctx, QWidget* parent = nullptr);

    // The text as loaded, CR LF line ends kept (the box shows plain line ends).
    const QString& loadedText() const { return loaded_; }

protected:
    void closeEvent(QCloseEvent* e) override; // the main screen comes back

private:
    // Fills the box with the file's text and one more line end. A file that cannot be read
    // leaves the box as it is, and so does a main screen whose status text is a single blank.
    void load(const QString& path);
    void onPrintClicked();

    ScreenContext& ctx_;
    QPlainTextEdit* textBox_ = nullptr;
    QString loaded_;
    bool closed_ = false;
};

} // namespace fh
