#pragma once

#include <QDialog>

#include <memory>

class DocumentSession;
class QLabel;
class QPushButton;
class QTimer;
class QVBoxLayout;
class WordApp;

// A narrow strip of buttons beside the word processor, for as long as one document is open in it: the template
// editor's and the contract document's windows. The strip sits at the top left of the screen, keeps the office
// window in front of the program's other windows, prepares its document once it is on screen (after the office
// has started), brings the office window to the front once the document is open, and ends the office whatever
// way it closes: the close protocol is its document's (DocumentSession), the same for both windows. A subclass
// closes its document in its own destructor too, as the document goes before this base.
class OfficeToolWindow : public QDialog {
    Q_OBJECT

public:
    ~OfficeToolWindow() override;

    WordApp &word() { return *mWord; }
    QTimer *timer() const { return mPlacementTimer; }

    void done(int result) override;
    // "关闭", Esc and the close box: a changed document is asked about first.
    void reject() override;

protected:
    OfficeToolWindow(std::unique_ptr<WordApp> word, Qt::WindowFlags flags, QWidget *parent);

    // The next button of the strip, below the ones before.
    QPushButton *addButton(const char *name, const QString &caption);
    QVBoxLayout *stripLayout() const { return mLayout; }
    void moveToTopLeft();
    // Shown while the office starts; none by default.
    void setStartHint(QLabel *hint) { mStartHint = hint; }

    // The document the window shows.
    virtual DocumentSession &session() = 0;
    // Opens the document; true when the placement timer is to run.
    virtual bool prepareDocument() = 0;
    // The placement timer ran out.
    virtual void placementTimeout() = 0;

    void showEvent(QShowEvent *event) override;

private:
    void prepareOnceShown();

    std::unique_ptr<WordApp> mWord;
    QVBoxLayout *mLayout = nullptr;
    QTimer *mPlacementTimer = nullptr;
    QLabel *mStartHint = nullptr;
    bool mPrepared = false;
};
