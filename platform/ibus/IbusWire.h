#pragma once

#include <QDBusVariant>
#include <QString>

namespace velmora {

/// What the IBus daemon is told about the one engine a program registers.
struct TIbusEngineInfo {
    QString componentName; ///< a reverse-DNS name of the program's component
    QString engineName;    ///< the engine's name, as SetGlobalEngine takes it
    QString longName;      ///< what a user may see of it
    QString description;
};

/// IBus's serialised objects, as its daemon reads them (a struct of the type's name, attachments, then the fields).
/// A text without attributes.
QDBusVariant IbusText(const QString& text);
/// A component with one engine, for RegisterComponent.
QDBusVariant IbusComponent(const TIbusEngineInfo& info);

/// The string of a serialised text (SetSurroundingText); empty when it is none.
QString IbusTextString(const QDBusVariant& text);
/// The name in a serialised engine description (GetGlobalEngine); empty when it is none.
QString IbusEngineName(const QDBusVariant& description);

} // namespace velmora
