#pragma once
// The log viewer: the whole status log Ir3Log.txt in a scrolling text box, printed on request;
// closing it brings the main screen back.
#include <QString>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace fh {

class ScreenContext;

inline const QString LogViewerTitle = QStringLiteral("Log File Viewer");

class frmCusLog : public QWidget {
    Q_OBJECT
public:
    // Loads the log at once; shows itself only when asked. Deletes itself when closed.
    explicit frmCusLog(ScreenContext& ctx, QWidget* parent = nullptr);

    QPlainTextEdit* txtLog = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdPrint = nullptr;

    void Form_Load();
    // Fills the box with the file's text and one more line end. A file that cannot be read
    // leaves the box as it is, and so does a main screen whose status text is a single blank.
    void GetTextFromFile(const QString& txtFile, QPlainTextEdit* txtopen);
    void cmdPrint_Click();
    void cmdExit_Click();

    // The text as loaded, CR LF line ends kept (the box shows plain line ends).
    const QString& loadedText() const { return loaded_; }

protected:
    void closeEvent(QCloseEvent* e) override; // Form_Unload: the main screen comes back

private:
    ScreenContext& ctx_;
    QString loaded_;
    bool unloaded_ = false;
};

} // namespace fh
