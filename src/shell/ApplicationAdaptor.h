#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace tetrapan {

class SingleInstance;

// The freedesktop.org application interface, as launchers and a second Tetrapan call it: Activate shows the
// main window, Open places files in the panes, ActivateAction carries out a command by its name (the
// parameter is a pane's number for a pane's command) and answers once it has been carried out, or with an
// error saying why it was refused.
class ApplicationAdaptor final : public QDBusAbstractAdaptor, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationAdaptor(SingleInstance* instance);

public Q_SLOTS:
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& actionName, const QVariantList& parameter,
                        const QVariantMap& platformData);

private:
    SingleInstance* instance_;
};

} // namespace tetrapan
