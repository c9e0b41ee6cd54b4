#include "shell/ApplicationAdaptor.h"

#include "shell/SingleInstance.h"

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

void ApplicationAdaptor::ActivateAction(const QString&, const QVariantList&, const QVariantMap& platformData)
{
    instance_->activate(platformData);
}

} // namespace tetrapan
