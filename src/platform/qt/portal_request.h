#pragma once
// One call of a desktop portal method that answers through a Request object:
// the call returns the request's path at once, and the answer comes later as
// that request's Response signal. The path is known before the call
// (.../request/<our unique bus name, ':' dropped, '.' -> '_'>/<token>), so
// the helper listens there first and only then calls: an answer that comes
// quickly is never missed. If the reply names another path (an old portal),
// the listener moves there. A failed call and a Response both end in `done`,
// exactly once; destroying the helper stops listening and closes a request
// still open.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace kwp::qt {

inline constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";

class PortalRequest : public QObject {
    Q_OBJECT
public:
    enum class Answer : uint32_t { Ok = 0, Cancelled = 1, Failed = 2 };
    // `results` is the Response's vardict; for a failed call it holds the
    // D-Bus error's text under "error".
    using Done = std::function<void(Answer, const QVariantMap& results)>;

    // `call` must carry `token` as the handle_token of its options.
    static std::unique_ptr<PortalRequest> Start(QDBusConnection bus, const QDBusMessage& call, const QString& token,
                                                Done done);
    ~PortalRequest() override;

private slots:
    void Response(uint response, const QVariantMap& results);

private:
    PortalRequest(QDBusConnection bus, Done done);
    bool Listen(const QString& path);
    void StopListening();
    void Finish(Answer answer, const QVariantMap& results);

    QDBusConnection bus_;
    Done done_;
    QString path_;  // where we listen; empty when not listening
    bool finished_ = false;
};

// Asks and waits for the answer in a local event loop (user input to the
// program's windows waits meanwhile), at most `wait`. No answer: `answer`
// stays empty.
struct PortalReply {
    std::optional<PortalRequest::Answer> answer;
    QVariantMap results;
};
PortalReply AskPortal(QDBusConnection bus, const QDBusMessage& call, const QString& token,
                      std::chrono::milliseconds wait);

// The request path a portal gives to a call from `uniqueName` (":1.42")
// that carried `token`.
QString PortalRequestPath(const QString& uniqueName, const QString& token);

// A handle token unique in this process: "kwpshot" and a counter.
QString NextPortalToken();

// The answer code of a Response (0 ok, 1 cancelled by the user, anything
// else failed).
PortalRequest::Answer PortalAnswer(uint response);

}  // namespace kwp::qt
