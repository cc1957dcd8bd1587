#include "platform/Messages.h"

#include "platform/ScriptedMessages.h"

namespace {
Messages *gMessages = nullptr;
thread_local Messages *tRedirected = nullptr;
} // namespace

Messages::~Messages() = default;

Messages &Messages::instance() {
    // Until the application installs its dialogs, nothing may block on a user: answer as a script with no answers.
    static ScriptedMessages fallback;
    if (tRedirected)
        return *tRedirected;
    return gMessages ? *gMessages : fallback;
}

void Messages::setInstance(Messages *messages) {
    gMessages = messages;
}

QString Messages::folderName(const QString &, const QString &) {
    return QString();
}

Messages::Redirect::Redirect(Messages &messages)
    : mPrevious(tRedirected) {
    tRedirected = &messages;
}

Messages::Redirect::~Redirect() {
    tRedirected = mPrevious;
}
