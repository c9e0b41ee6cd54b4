#include "shell/ApplicationAdaptor.h"

#include "shell/SingleInstance.h"

namespace tetrapan {

ApplicationAdaptor::ApplicationAdaptor(SingleInstance* instance, const QDBusConnection& bus)
    : QDBusAbstractAdaptor(instance), instance_(instance), bus_(bus)
{
}

void ApplicationAdaptor::Activate(const QVariantMap& platformData)
{
    instance_->activate(platformData);
}

void ApplicationAdaptor::Open(const QStringList& uris, const QVariantMap& platformData)
{
    instance_->open(uris, platformData);
}

void ApplicationAdaptor::ActivateAction(const QString& actionName, const QVariantList& parameter,
                                        const QVariantMap& platformData, const QDBusMessage& call)
{
    // the command may wait for the panes to load a playlist first
    call.setDelayedReply(true);
    instance_->activateAction(
        actionName, parameter, platformData, [call, bus = bus_](const QString& refusal) mutable {
            bus.send(refusal.isEmpty() ? call.createReply()
                                       : call.createErrorReply(SingleInstance::RefusedError, refusal));
        });
}

} // namespace tetrapan
