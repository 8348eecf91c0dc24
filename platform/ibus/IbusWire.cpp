#include "IbusWire.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QVariantMap>

namespace velmora {

namespace {

QDBusArgument BeginObject(const char* type) {
    QDBusArgument object;
    object.beginStructure();
    object << QString::fromLatin1(type) << QVariantMap(); // no attachments
    return object;
}

void EmptyObjectList(QDBusArgument& object) {
    object.beginArray(qMetaTypeId<QDBusVariant>());
    object.endArray();
}

/// The first string after the type's name and the attachments of a serialised object.
QString FirstField(const QDBusVariant& serialised) {
    const QVariant value = serialised.variant();
    if (value.userType() != qMetaTypeId<QDBusArgument>()) {
        return {};
    }
    const QDBusArgument object = value.value<QDBusArgument>();
    if (object.currentType() != QDBusArgument::StructureType || object.currentSignature().size() < 7 ||
        !object.currentSignature().startsWith(QStringLiteral("(sa{sv}s"))) {
        return {};
    }
    QString type;
    QVariantMap attachments;
    QString field;
    object.beginStructure();
    object >> type >> attachments >> field;
    return field;
}

} // namespace

QDBusVariant IbusText(const QString& text) {
    QDBusArgument attributes = BeginObject("IBusAttrList");
    EmptyObjectList(attributes);
    attributes.endStructure();
    QDBusArgument object = BeginObject("IBusText");
    object << text << QDBusVariant(QVariant::fromValue(attributes));
    object.endStructure();
    return QDBusVariant(QVariant::fromValue(object));
}

QDBusVariant IbusComponent(const TIbusEngineInfo& info) {
    QDBusArgument engine = BeginObject("IBusEngineDesc");
    // name, long name, description, language, license, author, icon, layout; rank; hotkeys, symbol, setup,
    // layout variant, layout option, version, text domain, icon property key.
    engine << info.engineName << info.longName << info.description << QString() << QString() << QString() << QString()
           << QStringLiteral("default") << 0U;
    for (int field = 0; field < 8; ++field) {
        engine << QString();
    }
    engine.endStructure();

    QDBusArgument component = BeginObject("IBusComponent");
    // name, description, version, license, author, homepage, exec, text domain; observed paths; engines.
    component << info.componentName << info.description << QString() << QString() << QString() << QString() << QString()
              << QString();
    EmptyObjectList(component);
    component.beginArray(qMetaTypeId<QDBusVariant>());
    component << QDBusVariant(QVariant::fromValue(engine));
    component.endArray();
    component.endStructure();
    return QDBusVariant(QVariant::fromValue(component));
}

QString IbusTextString(const QDBusVariant& text) {
    return FirstField(text);
}

QString IbusEngineName(const QDBusVariant& description) {
    return FirstField(description);
}

} // namespace velmora
