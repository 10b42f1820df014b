#pragma once
// System-wide hotkeys on Wayland through the desktop's GlobalShortcuts
// portal (KDE Plasma 5.27+, GNOME 48+). The program's registrations are kept
// as a list of {id, trigger}; every change binds the whole list again in a
// fresh portal session, with the combination as the preferred trigger.
//  [x] register       BindShortcuts; a refusal, a shortcut the desktop left
//                     out or no answer in time is a failed registration
//  [x] pressed        Activated("hotkey-<id>") delivers (id, that
//                     registration's hotkey message parameter)
//  [~] combination    the desktop may bind another trigger than the one
//                     asked for (the user chooses); the program's value stays
//  [ ] no portal      where the desktop does not offer it, Register fails
//                     quietly: a desktop shortcut can run `kwpshot --capture`
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <cstdint>
#include <vector>

#include "display_services.h"

namespace kwp::qt {

// Long enough for a desktop that asks the user to confirm the shortcut.
inline constexpr std::chrono::milliseconds kPortalShortcutWait{30000};

// One entry of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
QDBusArgument& operator<<(QDBusArgument& out, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& in, PortalShortcut& shortcut);

class PortalShortcuts : public QObject, public HotKeySource {
    Q_OBJECT
public:
    PortalShortcuts(QDBusConnection bus, Deliver deliver);
    ~PortalShortcuts() override;

    bool Register(int id, uint32_t systemModifiers, uint8_t virtualKey) override;
    void Unregister(int id) override;

    // The portal is there in version 1 or later.
    static bool Offered(QDBusConnection bus);

private slots:
    void Activated(const QDBusMessage& message);

private:
    struct Registration {
        int id;
        QString trigger;
        uint32_t lParam;
    };
    // Binds `registrations_` in a new session; the ids the desktop bound.
    std::vector<QString> BindAll();
    void CloseSession();

    QDBusConnection bus_;
    Deliver deliver_;
    bool offered_ = false;
    bool busy_ = false;
    QString session_;  // our portal session's path, empty when none
    std::vector<Registration> registrations_;
};

// The portal's trigger text for a combination ("CTRL+Q", "SHIFT+ALT+F1"):
// modifiers, then the key's keysym name. Empty for a key without a name.
QString PortalTrigger(uint32_t systemModifiers, uint8_t virtualKey);

// The shortcut id of a registration, and back (-1 for an id not ours).
QString PortalShortcutId(int id);
int RegistrationIdOf(const QString& shortcutId);

}  // namespace kwp::qt

Q_DECLARE_METATYPE(kwp::qt::PortalShortcut)
