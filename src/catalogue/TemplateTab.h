#pragma once

#include <QWidget>

#include <functional>

class QGroupBox;
class QVBoxLayout;

// The template page of the template management window: a group box with the category's template document inside.
// The document view and the template editor come from the documents subsystem, whose page the window is given a
// factory for when it is made; without one the group box stays empty.
class TemplateTab : public QWidget {
    Q_OBJECT

public:
    using Factory = std::function<TemplateTab *(QWidget *parent)>;

    explicit TemplateTab(QWidget *parent = nullptr);

    // Shows the category's template document (or the empty template) in the group box.
    virtual void showTemplate(const QString &categoryCode);
    // Opens the template editor for the category and returns when it closes.
    virtual void editTemplate(const QString &categoryCode);

    // "文档模板" until a child category is clicked.
    void setGroupCaption(const QString &caption);
    QGroupBox *groupBox() const { return templateBox; }
    // Where the document view goes.
    QVBoxLayout *contentLayout() const { return mContent; }

Q_SIGNALS:
    // The user asked to edit the template from inside the page (a click on the document view): the window runs
    // its "编辑模板(&E)" command, which also re-reads the category afterwards.
    void editRequested();

private:
    QGroupBox *templateBox = nullptr;
    QVBoxLayout *mContent = nullptr;
};
