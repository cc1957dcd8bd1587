#pragma once

#include <QString>

// The system clipboard: the formula menu and the template editor put texts there for the user to paste again.
class Clipboard {
public:
    virtual ~Clipboard();
    virtual void setText(const QString &text) = 0;
    virtual QString text() const = 0;

    static Clipboard &instance();
    static void setInstance(Clipboard *clipboard);
};

class MemoryClipboard : public Clipboard {
public:
    void setText(const QString &text) override { mText = text; }
    QString text() const override { return mText; }

private:
    QString mText;
};
