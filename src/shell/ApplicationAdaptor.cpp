#include "shell/ApplicationAdaptor.h"

#include "shell/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace tetrapan {

ApplicationAdaptor::ApplicationAdaptor(SingleInstance* instance)
    : QDBusAbstractAdaptor(instance), instance_(instance)
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
                                        const QVariantMap& platformData)
{
    // the command may wait for the panes to load a playlist first
    setDelayedReply(true);
    const QDBusMessage call = message();
    instance_->activateAction(actionName, parameter, platformData,
                              [call, bus = connection()](const QString& refusal) mutable {
                                  bus.send(refusal.isEmpty()
                                               ? call.createReply()
                                               : call.createErrorReply(SingleInstance::RefusedError, refusal));
                              });
}

} // namespace tetrapan
