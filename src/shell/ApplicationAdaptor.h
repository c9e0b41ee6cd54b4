#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace tetrapan {

class SingleInstance;

// The freedesktop.org application interface, as launchers and a second Tetrapan call it: Activate shows the
// main window, Open places files in the panes, ActivateAction carries out a command by its name (the
// parameter is a pane's number for a pane's command) and answers once it has been carried out, or with an
// error saying why it was refused.
class ApplicationAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    // bus: where the delayed answers to ActivateAction go
    ApplicationAdaptor(SingleInstance* instance, const QDBusConnection& bus);

public Q_SLOTS:
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    // the call itself is the last argument (not part of the bus's signature): it is answered later
    void ActivateAction(const QString& actionName, const QVariantList& parameter,
                        const QVariantMap& platformData, const QDBusMessage& call);

private:
    SingleInstance* instance_;
    QDBusConnection bus_;
};

} // namespace tetrapan
