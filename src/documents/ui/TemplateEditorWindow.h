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
    bool prepareDocument() override { return mEditor.ReadyData(); }
    void placementTimeout() override { mEditor.raiseOffice(); }
    bool canClose() override { return mEditor.CanClose(); }
    void closeOffice() override { mEditor.FormCloseQuery(); }
    void otherWindowActivated() override { mEditor.OtherWindowActivated(); }

private:
    void save();

    TemplateEditor mEditor;
};
