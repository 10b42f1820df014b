#include "portal_shortcuts.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMetaObject>
#include <algorithm>
#include <memory>

#include "core/hotkey_value.h"
#include "portal_request.h"

namespace kwp::qt {

namespace {

constexpr char kShortcutsInterface[] = "org.freedesktop.portal.GlobalShortcuts";
constexpr char kSessionInterface[] = "org.freedesktop.portal.Session";
// What the desktop shows the user next to the combination.
constexpr char kShortcutDescription[] = "截图";

struct KeyName {
    uint8_t virtualKey;
    const char* name;
};

// Windows virtual-key codes and their keysym names; letters, digits, the
// keypad digits and F1..F24 are worked out below.
constexpr KeyName kKeyNames[] = {
    {0x08, "BackSpace"}, {0x09, "Tab"},         {0x0C, "Clear"},        {0x0D, "Return"},
    {0x13, "Pause"},     {0x14, "Caps_Lock"},   {0x1B, "Escape"},       {0x20, "space"},
    {0x21, "Prior"},     {0x22, "Next"},        {0x23, "End"},          {0x24, "Home"},
    {0x25, "Left"},      {0x26, "Up"},          {0x27, "Right"},        {0x28, "Down"},
    {0x29, "Select"},    {0x2B, "Execute"},     {0x2C, "Print"},        {0x2D, "Insert"},
    {0x2E, "Delete"},    {0x2F, "Help"},        {0x5B, "Super_L"},      {0x5C, "Super_R"},
    {0x5D, "Menu"},      {0x6A, "KP_Multiply"}, {0x6B, "KP_Add"},       {0x6C, "KP_Separator"},
    {0x6D, "KP_Subtract"}, {0x6E, "KP_Decimal"}, {0x6F, "KP_Divide"},   {0x90, "Num_Lock"},
    {0x91, "Scroll_Lock"}, {0xBA, "semicolon"}, {0xBB, "equal"},        {0xBC, "comma"},
    {0xBD, "minus"},     {0xBE, "period"},      {0xBF, "slash"},        {0xC0, "grave"},
    {0xDB, "bracketleft"}, {0xDC, "backslash"}, {0xDD, "bracketright"}, {0xDE, "apostrophe"},
};

QString KeyNameOf(uint8_t vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return QString(QChar(vk));
    if (vk >= 0x60 && vk <= 0x69) return QStringLiteral("KP_%1").arg(vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87) return QStringLiteral("F%1").arg(vk - 0x70 + 1);
    for (const KeyName& k : kKeyNames)
        if (k.virtualKey == vk) return QString::fromLatin1(k.name);
    return {};
}

QString PathText(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>()) return value.value<QDBusObjectPath>().path();
    return value.toString();
}

void RegisterTypes() {
    static const bool done = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        return true;
    }();
    (void)done;
}

}  // namespace

QDBusArgument& operator<<(QDBusArgument& out, const PortalShortcut& shortcut) {
    out.beginStructure();
    out << shortcut.id << shortcut.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, PortalShortcut& shortcut) {
    in.beginStructure();
    in >> shortcut.id >> shortcut.properties;
    in.endStructure();
    return in;
}

QString PortalTrigger(uint32_t systemModifiers, uint8_t virtualKey) {
    const QString key = KeyNameOf(virtualKey);
    if (key.isEmpty()) return {};
    QString trigger;
    if (systemModifiers & core::kModControl) trigger += "CTRL+";
    if (systemModifiers & core::kModAlt) trigger += "ALT+";
    if (systemModifiers & core::kModShift) trigger += "SHIFT+";
    if (systemModifiers & core::kModWin) trigger += "LOGO+";
    return trigger + key;
}

QString PortalShortcutId(int id) { return QStringLiteral("hotkey-%1").arg(id); }

int RegistrationIdOf(const QString& shortcutId) {
    if (!shortcutId.startsWith(QLatin1String("hotkey-"))) return -1;
    bool ok = false;
    const int id = shortcutId.mid(7).toInt(&ok);
    return ok && id >= 0 && PortalShortcutId(id) == shortcutId ? id : -1;
}

bool PortalShortcuts::Offered(QDBusConnection bus) {
    QDBusMessage get = QDBusMessage::createMethodCall(kPortalService, kPortalPath, "org.freedesktop.DBus.Properties",
                                                      "Get");
    get << QString::fromLatin1(kShortcutsInterface) << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 3000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return reply.arguments().first().value<QDBusVariant>().variant().toUInt() >= 1;
}

PortalShortcuts::PortalShortcuts(QDBusConnection bus, Deliver deliver)
    : bus_(std::move(bus)), deliver_(std::move(deliver)) {
    RegisterTypes();
    offered_ = Offered(bus_);
    if (offered_)
        bus_.connect(kPortalService, kPortalPath, kShortcutsInterface, "Activated", this,
                     SLOT(Activated(QDBusMessage)));
}

PortalShortcuts::~PortalShortcuts() { CloseSession(); }

bool PortalShortcuts::Register(int id, uint32_t systemModifiers, uint8_t virtualKey) {
    if (!offered_ || busy_) return false;
    const QString trigger = PortalTrigger(systemModifiers, virtualKey);
    if (trigger.isEmpty()) return false;
    for (const Registration& r : registrations_)
        if (r.id == id || r.trigger == trigger) return false;
    registrations_.push_back({id, trigger, core::HotKeyMessageParam(virtualKey, systemModifiers)});
    const std::vector<QString> bound = BindAll();
    if (std::find(bound.begin(), bound.end(), PortalShortcutId(id)) != bound.end()) return true;
    registrations_.pop_back();
    return false;
}

void PortalShortcuts::Unregister(int id) {
    const auto it = std::find_if(registrations_.begin(), registrations_.end(),
                                 [id](const Registration& r) { return r.id == id; });
    if (it == registrations_.end()) return;
    registrations_.erase(it);
    if (registrations_.empty())
        CloseSession();
    else if (!busy_)
        BindAll();
}

std::vector<QString> PortalShortcuts::BindAll() {
    busy_ = true;
    CloseSession();
    std::vector<QString> bound;

    QString token = NextPortalToken();
    QDBusMessage create = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface,
                                                         "CreateSession");
    create << QVariantMap{{"handle_token", token}, {"session_handle_token", NextPortalToken()}};
    const PortalReply created = AskPortal(bus_, create, token, kPortalShortcutWait);
    if (created.answer == PortalRequest::Answer::Ok) session_ = PathText(created.results.value("session_handle"));
    if (!session_.isEmpty()) {
        QList<PortalShortcut> shortcuts;
        for (const Registration& r : registrations_)
            shortcuts.push_back({PortalShortcutId(r.id), {{"description", QString::fromUtf8(kShortcutDescription)},
                                                          {"preferred_trigger", r.trigger}}});
        token = NextPortalToken();
        QDBusMessage bind = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface,
                                                           "BindShortcuts");
        bind << QVariant::fromValue(QDBusObjectPath(session_)) << QVariant::fromValue(shortcuts) << QString()
             << QVariantMap{{"handle_token", token}};
        const PortalReply reply = AskPortal(bus_, bind, token, kPortalShortcutWait);
        const QVariant list = reply.results.value("shortcuts");
        if (reply.answer == PortalRequest::Answer::Ok && list.canConvert<QDBusArgument>()) {
            QList<PortalShortcut> answered;
            list.value<QDBusArgument>() >> answered;
            for (const PortalShortcut& s : answered) bound.push_back(s.id);
        }
    }
    busy_ = false;
    return bound;
}

void PortalShortcuts::CloseSession() {
    if (session_.isEmpty()) return;
    bus_.asyncCall(QDBusMessage::createMethodCall(kPortalService, session_, kSessionInterface, "Close"));
    session_.clear();
}

void PortalShortcuts::Activated(const QDBusMessage& message) {
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QList<QVariant> arguments = message.arguments();
    if (session_.isEmpty() || arguments.size() < 2 || PathText(arguments.at(0)) != session_) return;
    const int id = RegistrationIdOf(arguments.at(1).toString());
    for (const Registration& r : registrations_) {
        if (r.id != id) continue;
        // Delivered from the event loop, like a posted hotkey message.
        QMetaObject::invokeMethod(
            this, [this, wParam = uint32_t(r.id), lParam = r.lParam] { deliver_(wParam, lParam); },
            Qt::QueuedConnection);
        return;
    }
}

}  // namespace kwp::qt
