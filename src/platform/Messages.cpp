#include "platform/Messages.h"

#include "platform/ScriptedMessages.h"

namespace {
Messages *gMessages = nullptr;
}

Messages::~Messages() = default;

Messages &Messages::instance() {
    // Until the application installs its dialogs, nothing may block on a user: answer as a script with no answers.
    static ScriptedMessages fallback;
    return gMessages ? *gMessages : fallback;
}

void Messages::setInstance(Messages *messages) {
    gMessages = messages;
}

QString Messages::folderName(const QString &, const QString &) {
    return QString();
}
