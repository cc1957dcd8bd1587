#include "office/SharedOffice.h"

#include "office/uno/OfficeInstance.h"

SharedOffice::SharedOffice()
    : mOffice(
          std::make_unique<OfficeInstance>(OfficeInstance::Kind::Private, OfficeInstance::headlessFromEnvironment())) {}

SharedOffice::~SharedOffice() = default;

void SharedOffice::startInBackground() {
    QString ignored;
    mOffice->startInBackground(&ignored);
}
