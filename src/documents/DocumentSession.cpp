#include "documents/DocumentSession.h"

#include "documents/DocumentSync.h"
#include "office/WordApp.h"
#include "platform/Messages.h"

#include <utility>

DocumentSession::DocumentSession(WordApp &word, QString kind)
    : mWord(word)
    , mKind(std::move(kind)) {}

DocumentSession::~DocumentSession() = default;

bool DocumentSession::canClose() {
    if (mClosed || busy() || !hasUnsavedChange())
        return true;
    switch (Messages::instance().saveQuestion(mKind + QStringLiteral("已经修改，是否保存？"))) {
    case Messages::SaveChoice::Save:
        return save();
    case Messages::SaveChoice::Discard:
        return true;
    case Messages::SaveChoice::Cancel:
        break;
    }
    return false;
}

void DocumentSession::close() {
    if (mClosed)
        return;
    mClosed = true;
    beforeOfficeQuits();
    if (!mWord.quit())
        mWord.disconnect();
    // What the office's own Save wrote in place reaches the shared server too.
    DocumentSync::writeBackOnClose(storedPath(), mKind);
    afterClosed();
}

void DocumentSession::bringOfficeBack() {
    if (!mClosed && !busy() && mWord.hasDocument())
        mWord.bringToFront();
}
