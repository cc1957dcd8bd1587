#pragma once

#include "documents/TemplateEditor.h"
#include "documents/ui/OfficeToolWindow.h"

#include <memory>

class WordApp;

// "编辑Word": the narrow tool window beside the word processor while a template is edited.
class TemplateEditorWindow : public OfficeToolWindow {
    Q_OBJECT

public:
    TemplateEditorWindow(const QString &categoryCode, const QString &templatePath, std::unique_ptr<WordApp> word,
                         QWidget *parent = nullptr);
    ~TemplateEditorWindow() override;

    TemplateEditor &editor() { return mEditor; }

protected:
    DocumentSession &session() override { return mEditor; }
    bool prepareDocument() override { return mEditor.prepare(); }
    void placementTimeout() override { mEditor.raiseOffice(); }

private:
    void save();

    TemplateEditor mEditor;
};
